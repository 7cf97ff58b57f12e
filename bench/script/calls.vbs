Function Add(a, b)
    Add = a + b
End Function

Function Work()
    Dim i, s
    s = 0
    For i = 1 To 1000000
        s = Add(s, i)
    Next
    Work = s
End Function

Sub Main()
    Out.Echo Work()
End Sub
