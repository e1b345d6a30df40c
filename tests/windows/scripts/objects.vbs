' Both classes of the server created from VBScript by their ProgIDs: the version of a new object, the
' error text read and assigned, names in any letter case, and 8-bit texts through the ANSI code page.
' Prints one line per finding and END last (Wine's script host reports no script errors).
On Error Resume Next

' Wine's VBScript has no WScript.Sleep: wait about a second on the clock (robust across midnight).
Sub Pause()
  Dim start, passed
  start = Timer
  Do
    passed = Timer - start
  Loop While passed >= 0 And passed < 1
End Sub

' The object, created again once after a pause when the server was still starting.
Function Create(progId)
  Set Create = CreateObject(progId)
  If Err.Number <> 0 Then
    Err.Clear
    Pause
    Set Create = CreateObject(progId)
  End If
  If Err.Number <> 0 Then WScript.Echo progId & ": not created, error " & Err.Number
End Function

Function Codes(text)
  Dim i
  Codes = ""
  For i = 1 To Len(text)
    Codes = Codes & " " & Asc(Mid(text, i, 1))
  Next
End Function

Sub Check(progId)
  Dim o
  Set o = Create(progId)
  If Err.Number <> 0 Then Exit Sub
  WScript.Echo progId & " Version: " & o.Version
  WScript.Echo progId & " ErrMsg: [" & o.ErrMsg & "]"
  o.errmsg = "Assigned" & vbLf
  WScript.Echo progId & " ERRMSG: [" & o.ERRMSG & "]"
  o.ErrMsg = "caf" & Chr(233) & " " & Chr(128) & Chr(0) & "x"
  WScript.Echo progId & " ErrMsg length, codes: " & Len(o.ErrMsg) & Codes(o.ErrMsg)
  o.Version = ""
  WScript.Echo progId & " Version: [" & o.Version & "]"
  If Err.Number <> 0 Then WScript.Echo progId & ": error " & Err.Number & " " & Err.Description
  Err.Clear
End Sub

Check "Runeflow.Stream"
Check "Runeflow.Cobbleway"
WScript.Echo "END"
