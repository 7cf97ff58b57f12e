' qzLib.vbs: the functions that templates may call beyond the language.
' It is put in front of every template's program; keep it small.

' RTF that links a picture file into the document: an INCLUDEPICTURE field
' that the word processor resolves when it opens the document. Used in an
' expression of the RTF kind, whose value is printed after "\\", "\{" and
' "\}" are read back as "\", "{" and "}"; so every backslash of the RTF is
' written twice here. An empty path gives no picture.
Function QzInsertPictureLinkRTF(sPath)
    Dim sField
    QzInsertPictureLinkRTF = ""
    If IsNull(sPath) Or IsEmpty(sPath) Then Exit Function
    If Len(sPath) = 0 Then Exit Function
    ' Inside the field code a backslash of the path is written twice ...
    sField = Replace(sPath, "\", "\\")
    ' ... and the code is text of the RTF: backslashes and braces escaped.
    sField = Replace(sField, "\", "\\")
    sField = Replace(Replace(sField, "{", "\{"), "}", "\}")
    sField = "{\field{\*\fldinst INCLUDEPICTURE """ & sField & """ \\d}{\fldrslt }}"
    QzInsertPictureLinkRTF = Replace(sField, "\", "\\")
End Function

' The value, or a replacement when it is Null or Empty.
Function QzNz(vValue, vReplacement)
    If IsNull(vValue) Or IsEmpty(vValue) Then
        QzNz = vReplacement
    Else
        QzNz = vValue
    End If
End Function
