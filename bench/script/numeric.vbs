Function Work()
    Dim i, s
    s = 0
    For i = 1 To 3000000
        s = s + (i Mod 7) * 2 - 1
    Next
    Work = s
End Function

Sub Main()
    Out.Echo Work()
End Sub
