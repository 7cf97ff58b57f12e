' A loop over a host recordset object, as template code reads query results.
Sub Main()
    Dim total, chars, n
    total = 0
    Do Until Rs.EOF
        total = total + Rs("Amount")
        chars = chars + Len(Rs("Name"))
        n = n + 1
        Rs.MoveNext
    Loop
    Out.Echo n, total, chars
End Sub
