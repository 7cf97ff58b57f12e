Function Work()
    Dim i, s
    s = ""
    For i = 1 To 300000
        s = s & "item" & i & ";"
    Next
    Work = Len(s)
End Function

Sub Main()
    Out.Echo Work()
End Sub
