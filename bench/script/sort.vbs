' Quicksort of 200000 pseudo-random numbers (the same generator everywhere).
Sub QuickSort(a, lo, hi)
    Dim i, j, p, t
    Do While lo < hi
        p = a((lo + hi) \ 2)
        i = lo
        j = hi
        Do While i <= j
            Do While a(i) < p
                i = i + 1
            Loop
            Do While a(j) > p
                j = j - 1
            Loop
            If i <= j Then
                t = a(i) : a(i) = a(j) : a(j) = t
                i = i + 1
                j = j - 1
            End If
        Loop
        If j - lo < hi - i Then
            QuickSort a, lo, j
            lo = i
        Else
            QuickSort a, i, hi
            hi = j
        End If
    Loop
End Sub

Sub Main()
    Dim n, a(), i, seed, ok
    n = 200000
    ReDim a(n - 1)
    seed = 12345
    For i = 0 To n - 1
        seed = (seed * 1103 + 12345) Mod 1000003
        a(i) = seed
    Next
    QuickSort a, 0, n - 1
    ok = True
    For i = 1 To n - 1
        If a(i - 1) > a(i) Then ok = False
    Next
    Out.Echo ok, a(0), a(n - 1)
End Sub
