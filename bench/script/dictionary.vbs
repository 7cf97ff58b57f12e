Function Work()
    Dim d, i, s, c
    Set d = CreateObject("Scripting.Dictionary")
    For i = 1 To 200000
        d.Add "k" & i, i
    Next
    s = 0
    For i = 1 To 200000
        s = s + d("k" & i)
    Next
    c = 0
    For i = 1 To 400000 Step 2
        If d.Exists("k" & i) Then c = c + 1
    Next
    Work = s + c + d.Count
End Function

Sub Main()
    Out.Echo Work()
End Sub
