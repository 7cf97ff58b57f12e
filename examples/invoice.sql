-- The example's data: one customer's invoice with its order lines.
CREATE TABLE Customer (
    CustomerId INTEGER PRIMARY KEY,
    Name       TEXT NOT NULL,
    Contact    TEXT,
    Street     TEXT,
    City       TEXT,
    Country    TEXT
);

CREATE TABLE Invoice (
    InvoiceNo   TEXT PRIMARY KEY,
    InvoiceDate DATE NOT NULL,
    DueDate     DATE NOT NULL,
    CustomerId  INTEGER NOT NULL REFERENCES Customer(CustomerId),
    VatRate     DOUBLE NOT NULL,
    Discount    DOUBLE NOT NULL,
    Notes       TEXT
);

CREATE TABLE InvoiceLine (
    InvoiceNo   TEXT NOT NULL REFERENCES Invoice(InvoiceNo),
    LineNo      INTEGER NOT NULL,
    Description TEXT NOT NULL,
    Quantity    INTEGER NOT NULL,
    UnitPrice   MONEY NOT NULL,
    PRIMARY KEY (InvoiceNo, LineNo)
);

INSERT INTO Customer VALUES
    (17, 'Brasserie Léon & Fils', 'Hélène Marchand', '12 rue des Épinettes', '75017 Paris', 'France'),
    (18, 'Northwind Traders', 'Andrew Fuller', '908 W. Capital Way', 'Tacoma, WA 98401', 'USA');

INSERT INTO Invoice VALUES
    ('2026-0117', '2026-11-30', '2026-12-30', 17, 0.2, 0.05, 'Delivery to the back entrance {kitchen}, before 9 a.m.'),
    ('2026-0118', '2026-12-01', '2026-12-31', 18, 0.0, 0.0, NULL);

INSERT INTO InvoiceLine VALUES
    ('2026-0117', 1, 'Espresso machine "Duetto" (two groups)', 1, 2450.00),
    ('2026-0117', 2, 'Burr grinder, 64 mm', 2, 389.50),
    ('2026-0117', 3, 'Porcelain cups, set of 12', 6, 54.90),
    ('2026-0117', 4, 'Descaling tablets – 100 pack', 3, 18.75),
    ('2026-0117', 5, 'Service contract (12 months)', 1, 480.00),
    ('2026-0118', 1, 'Chai concentrate, 1 l', 24, 6.40);
