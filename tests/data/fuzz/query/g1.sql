SELECT
   Customers.CompanyName, 
   Orders.OrderDate
FROM
   (Orders
      INNER JOIN Customers
         ON Orders.CustomerID = Customers.CustomerID)
WHERE
   Orders.OrderDate > '1/1/2000' AND 
   Customers.CompanyName LIKE '%Ltd%'
ORDER BY
   Customers.CompanyName ASC