' Converts a file into another: a Stream object carries the file to the clipboard, a Cobbleway object
' converts it there, and the Stream writes the result to the new file. The clipboard's earlier content
' is replaced. Usage: cscript convert_file.vbs INPUT OUTPUT (full paths: the server does not share the
' script's current directory).
Option Explicit
Dim files, converter
If WScript.Arguments.Count <> 2 Then Fail "usage: convert_file.vbs INPUT OUTPUT"
Set files = CreateObject("Runeflow.Stream")
Set converter = CreateObject("Runeflow.Cobbleway")
If Not files.Open("C:\Runeflow") Then Fail files.ErrMsg
If Not converter.Open("C:\Runeflow", "cp1252", "title", "html2text", "translit") Then Fail converter.ErrMsg

If Not files.ReadFile(WScript.Arguments(0)) Then Fail files.ErrMsg
If Not files.WriteClipboard("Text") Then Fail files.ErrMsg
If Not converter.ReadClipboard("Text") Then Fail converter.ErrMsg
If Not converter.Close() Then Fail converter.ErrMsg
If Not converter.WriteClipboard("Text") Then Fail converter.ErrMsg
If Not files.ReadClipboard("Text") Then Fail files.ErrMsg
If Not files.WriteFile(WScript.Arguments(1)) Then Fail files.ErrMsg
WScript.Echo "Written: " & WScript.Arguments(1)

Sub Fail(message)
  WScript.Echo "Cobbleway: " & message
  WScript.Quit 1
End Sub
