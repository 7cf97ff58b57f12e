# Quicksort of 200000 pseudo-random numbers (the same generator everywhere).
def quicksort(a, lo, hi):
    while lo < hi:
        p = a[(lo + hi) // 2]
        i = lo
        j = hi
        while i <= j:
            while a[i] < p:
                i = i + 1
            while a[j] > p:
                j = j - 1
            if i <= j:
                a[i], a[j] = a[j], a[i]
                i = i + 1
                j = j - 1
        if j - lo < hi - i:
            quicksort(a, lo, j)
            lo = i
        else:
            quicksort(a, i, hi)
            hi = j

def main():
    n = 200000
    a = [0] * n
    seed = 12345
    for i in range(n):
        seed = (seed * 1103 + 12345) % 1000003
        a[i] = seed
    quicksort(a, 0, n - 1)
    ok = all(a[i - 1] <= a[i] for i in range(1, n))
    print(ok, a[0], a[n - 1])

main()
