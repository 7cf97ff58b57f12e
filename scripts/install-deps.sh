#!/usr/bin/env bash
# Installs the Debian packages the build needs: with "main", only those that
# building and running the two programs need; otherwise those of the tests
# and benchmarks too (FUZZ=1: and those of the fuzz targets).
# Idempotent: packages already present are skipped, and the package index is
# updated once, only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # libraries
  libpugixml-dev libsqlite3-dev libicu-dev libpcre2-dev libcli11-dev
  unixodbc-dev mdbtools-dev libzip-dev libexpat1-dev libkrb5-dev
  # the ODBC drivers of the connection types (PostgreSQL, SQLite, SQL Server)
  odbc-postgresql libsqliteodbc tdsodbc
  # the desktop studio and its windows, and fonts metric-compatible with
  # Arial, Times New Roman and Courier New
  qt6-base-dev libgl-dev fonts-liberation2
)
if [ "${1:-all}" != main ]; then
  packages+=(
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev lua5.4
    # the workbook writers of the Excel tests
    python3-xlwt python3-openpyxl libreoffice-calc-nogui
    # the PDF reader that tests use to read printed pages back
    poppler-utils
    # the locale definitions from which tests build a decimal-comma locale
    locales
    # the word processor whose reading of saved documents the corpus test compares
    libreoffice-writer-nogui
    # a real database server for the integration tests (started by the tests)
    postgresql
    # the readers of the installed manual pages and AppStream description
    man-db appstream
  )
fi
# The fuzz targets (scripts/fuzz.sh) are built with clang and libFuzzer.
if [ "${FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  echo "install-deps: could not install: ${missing[*]}" >&2
  exit 1
fi
