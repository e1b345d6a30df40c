' After Setup installed the system: both classes can be created and answer. A first creation may meet a
' server that is still starting, so it is tried again once after a pause.
Option Explicit
On Error Resume Next

Function Create(progId)
  Dim started
  Set Create = CreateObject(progId)
  If Err.Number <> 0 Then
    Err.Clear
    started = Timer
    Do While Timer - started < 2 And Timer >= started
    Loop
    Set Create = CreateObject(progId)
  End If
End Function

Dim name, instance
For Each name In Array("Runeflow.Stream", "Runeflow.Cobbleway")
  Set instance = Create(name)
  If Err.Number <> 0 Then
    WScript.Echo name & ": cannot be created (" & Hex(Err.Number) & ")"
    Err.Clear
  Else
    WScript.Echo name & ": " & instance.Version
  End If
  Set instance = Nothing
Next
WScript.Echo "END"
