' Converts the text on the clipboard and puts the result back: copy some text (an HTML page, or cells
' of the Cobbleway template), run this script, then paste. The character set and the three tables are
' looked for in C:\Runeflow: the page's title is kept in a variable, the tags are stripped, and what
' ASCII lacks is replaced by look-alikes.
Option Explicit
Dim converter
Set converter = CreateObject("Runeflow.Cobbleway")
If Not converter.Open("C:\Runeflow", "cp1252", "title", "html2text", "translit") Then Fail converter.ErrMsg
If Not converter.ReadClipboard("Text") Then Fail converter.ErrMsg
If Not converter.Close() Then Fail converter.ErrMsg
If Not converter.WriteClipboard("Text") Then Fail converter.ErrMsg
WScript.Echo "The converted text is on the clipboard."

Sub Fail(message)
  WScript.Echo "Cobbleway: " & message
  WScript.Quit 1
End Sub
