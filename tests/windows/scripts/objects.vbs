' Both classes of the server from VBScript, every member, names in mixed letter case. New objects: their
' version, ErrMsg read and assigned, 8-bit texts through the ANSI code page. Runeflow.Stream: Open and the
' members that need it, strings in and out (lengths past the text, zero bytes, WriteString until Eos over
' several blocks), files, ReadStream (neither it nor WriteFile gives again what WriteString took out), the
' ring of two Streams, Connect, the pipelines that Add refuses, a Stream released while another leads to
' it, every byte value through strings and files. Runeflow.Cobbleway: a run before Open, Open failing in
' the conversion stage and in the third table, the typical request (a directory, a set and three tables,
' text put in with ReadString in pieces cut inside references, Close), Length before and after Close, a
' run that fails, and a second run that uses a table variable the first run set. The clipboard: data that
' another program put there read by each name, names it lacks and "text" refused, the typical request
' (Open, ReadClipboard, Close, WriteClipboard), empty texts, round trips in every standard format and a
' registered one, a zero byte, a name that cannot be registered.
' Argument: a folder holding all.bin (the bytes 0 to 255), the shipped sets and tables and the tables
' keep.sub ("[%a]" into variable a), give.sub ("{}" gives a) and none.sub (no entries); the script writes
' its files there. Before it runs, another program puts data on the clipboard (see objects_test.sh); it
' leaves "left for another program" and e with acute in the format "Runeflow left".
' Prints one line per finding and END last (Wine's script host reports no script errors).
On Error Resume Next
Dim folder
folder = WScript.Arguments(0)

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

' A text on one line, in ASCII: the folder as <folder>, line ends as \n and \r, other controls and bytes
' beyond ASCII as \xHH.
Function Shown(text)
  Dim i, c, plain
  plain = Replace(text, folder, "<folder>")
  Shown = ""
  For i = 1 To Len(plain)
    c = Asc(Mid(plain, i, 1))
    If c = 10 Then
      Shown = Shown & "\n"
    ElseIf c = 13 Then
      Shown = Shown & "\r"
    ElseIf c < 32 Or c > 126 Then
      Shown = Shown & "\x" & Right("0" & Hex(c), 2)
    Else
      Shown = Shown & Chr(c)
    End If
  Next
End Function

Function Codes(text)
  Dim i
  Codes = ""
  For i = 1 To Len(text)
    Codes = Codes & " " & Asc(Mid(text, i, 1))
  Next
End Function

' Prints a finding, or the script error that stopped it.
Sub Say(line)
  If Err.Number <> 0 Then
    WScript.Echo line & ": error " & Err.Number & " " & Err.Description
    Err.Clear
  Else
    WScript.Echo line
  End If
End Sub

Sub CheckNew(progId)
  Dim o
  Set o = Create(progId)
  If Err.Number <> 0 Then Exit Sub
  Say progId & " Version: " & o.Version & ", ErrMsg: [" & o.ErrMsg & "]"
  o.errmsg = "Assigned" & vbLf
  Say progId & " ERRMSG: [" & Shown(o.ERRMSG) & "]"
  o.ErrMsg = "caf" & Chr(233) & " " & Chr(128) & Chr(0) & "x"
  Say progId & " ErrMsg length, codes: " & Len(o.ErrMsg) & Codes(o.ErrMsg)
  o.Version = ""
  Say progId & " Version: [" & o.Version & "]"
End Sub

CheckNew "Runeflow.Stream"
CheckNew "Runeflow.Cobbleway"

' Runeflow.Stream
Dim s, t, u, c, text, piece, pieces, ok, i
Set s = Create("Runeflow.Stream")

' A new Stream, and what needs Open.
Say "Version " & s.version & ", ErrMsg [" & s.ERRMSG & "], Length " & s.length & ", Eos " & s.eos
ok = s.Close
Say "Close before Open: " & ok & " [" & Shown(s.ErrMsg) & "]"
ok = s.ReadFile(folder & "\all.bin")
Say "ReadFile before Open: " & ok & " [" & Shown(s.ErrMsg) & "]"
ok = s.WriteFile(folder & "\all.bin")
Say "WriteFile before Open: " & ok & " [" & Shown(s.ErrMsg) & "]"
ok = s.readstream(s)
Say "ReadStream before Open: " & ok & " [" & Shown(s.ErrMsg) & "]"
ok = s.ReadString("before", 6)
Say "ReadString before Open: " & ok & ", taken out: [" & s.WriteString(100) & "], Length " & s.Length
s.ErrMsg = "kept"
ok = s.OPEN(folder)
Say "Open: " & ok & ", a success leaves ErrMsg [" & s.ErrMsg & "]"

' Strings in: a length of 0, a part, past the end, below 0; out: every byte read, zero bytes too.
Say "ReadString length 0: " & s.ReadString("abc", 0) & ", Length " & s.Length
Say "ReadString 2 of abc: " & s.ReadString("abc", 2) & ", Length " & s.Length
Say "ReadString 1000 of cd: " & s.ReadString("cd", 1000) & ", Length " & s.Length
Say "ReadString -5: " & s.ReadString("ef", -5) & ", Length " & s.Length
Say "ReadString of an empty text: " & s.ReadString("", 10) & ", Length " & s.Length
Say "WriteString 3: [" & s.WriteString(3) & "], Eos " & s.Eos & ", Length " & s.Length
Say "WriteString 0: [" & s.WriteString(0) & "], Eos " & s.Eos
Say "WriteString -1: [" & s.WriteString(-1) & "], Eos " & s.Eos
Say "WriteString past the end: [" & s.WriteString(100) & "], Eos " & s.Eos
Say "WriteString when drained: [" & s.WriteString(100) & "], Eos " & s.Eos & ", Length " & s.Length
text = "a" & Chr(0) & "b" & Chr(0)
ok = s.ReadString(text, 4)
Say "zero bytes: " & ok & ", out" & Codes(s.WriteString(10)) & ", Eos " & s.Eos

' 1234 bytes over three blocks, taken out from the first unread byte, then in pieces until Eos.
text = ""
For i = 0 To 1233
  text = text & Chr(65 + i Mod 26)
Next
ok = s.ReadString(text, Len(text))
Say "1234 bytes: " & ok & ", Eos " & s.Eos & ", first 5 [" & s.WriteString(5) & "], Length " & s.Length
u = "ABCDE"
pieces = 0
Do While Not s.Eos
  piece = s.WriteString(100)
  u = u & piece
  pieces = pieces + 1
Loop
Say "taken out in " & pieces & " pieces, whole: " & (u = text) & ", Length " & s.Length
ok = s.ReadString(text, 600)
i = s.Length
s.Clear
Say "Clear: Length " & i & ", then " & s.Length & ", Eos " & s.Eos

' Files: every byte read and written; a missing file and an illegal name; the second write is empty.
ok = s.ReadFile(folder & "\all.bin")
text = s.WriteString(1000)
Say "ReadFile all.bin: " & ok & ", " & Len(text) & " bytes, Eos " & s.Eos
u = ""
For i = 1 To Len(text)
  If Asc(Mid(text, i, 1)) <> i - 1 Then u = u & " " & (i - 1) & ":" & Asc(Mid(text, i, 1))
Next
Say "bytes that differ from their position:" & u
text = ""
For i = 0 To 255
  text = text & Chr(i)
Next
ok = s.ReadString(text, 256)
Say "Chr(0) to Chr(255) written: " & s.WriteFile(folder & "\chr.bin") & ", Length " & s.Length
Say "written again: " & s.WriteFile(folder & "\again.bin")
Say "missing file: " & s.ReadFile(folder & "\missing.txt") & " [" & Shown(s.ErrMsg) & "]"
Say "illegal name: " & s.ReadFile("Z:\..\..\x") & " [" & Shown(s.ErrMsg) & "]"
Say "folder written as a file: " & s.WriteFile(folder) & " [" & Shown(s.ErrMsg) & "]"
ok = s.ReadString("0123456789", 10)
Say "WriteFile after WriteString [" & s.WriteString(3) & "]: " & s.WriteFile(folder & "\rest.txt")

' ReadStream: another Stream's text moves over; anything else is refused.
Set t = Create("Runeflow.Stream")
ok = t.Open(folder)
ok = t.ReadString("moved", 5)
Say "ReadStream: " & s.ReadStream(t) & ", from Length " & t.Length & ", to [" & s.WriteString(10) & "]"
ok = t.ReadString("0123456789", 10)
Say "ReadStream after WriteString [" & t.WriteString(3) & "]: " & s.ReadStream(t) & " [" & s.WriteString(10) & "]"
Set c = Create("Runeflow.Cobbleway")
s.ErrMsg = ""
Say "ReadStream of a Cobbleway: " & s.ReadStream(c) & " [" & s.ErrMsg & "]"
s.ErrMsg = ""
Say "ReadStream of Nothing: " & s.ReadStream(Nothing) & " [" & s.ErrMsg & "]"

' The ring of two Streams: s, t, s.
s.ErrMsg = ""
s.add t
Say "Add: [" & s.ErrMsg & "]"
ok = s.ReadString("into s", 6)
ok = t.ReadString("into t", 6)
Say "s Length " & s.Length & " [" & s.WriteString(10) & "], t Length " & t.Length
ok = s.ReadString("run", 3)
Say "Close runs nothing: " & s.Close & ", t [" & t.WriteString(10) & "]"
Say "ReadStream of the Stream it writes into: " & s.ReadStream(t) & ", t Length " & t.Length
s.Add t
Say "Add again: [" & s.ErrMsg & "]"
s.ErrMsg = ""
s.Add s
Say "Add itself: [" & s.ErrMsg & "]"
s.ErrMsg = ""
s.Add c
Say "Add a Cobbleway: [" & s.ErrMsg & "]"

' Connect: s writes into u; the ring no longer leads back to s, so Add is refused without a hang.
Set u = Create("Runeflow.Stream")
s.ErrMsg = ""
s.connect s, u
Say "Connect: [" & s.ErrMsg & "]"
ok = s.ReadString("into u", 6)
Say "u Length " & u.Length & " [" & u.WriteString(10) & "], t Length " & t.Length
s.Connect s, t
s.Connect t, u
s.Connect s, c
Say "Connect a Cobbleway: [" & s.ErrMsg & "]"
s.ErrMsg = ""
t.Add s
Say "Add to a pipeline that does not lead back: [" & t.ErrMsg & "]"

' A Stream released while others lead to it: they lead on to what it led to.
s.Connect t, s
s.Connect u, t
Set t = Nothing
ok = u.ReadString("past t", 6)
Say "after t went: s Length " & s.Length & " [" & s.WriteString(10) & "], u Length " & u.Length
Set s = Nothing
ok = u.ReadString("u alone", 7)
Say "after s went: u Length " & u.Length & " [" & u.WriteString(10) & "]"

' Runeflow.Cobbleway
Dim page, cuts
Set c = Create("Runeflow.Cobbleway")

Say "Version " & c.VERSION & ", ErrMsg [" & c.errmsg & "], Length " & c.length
ok = c.ReadString("waits", 5)
Say "Close before Open: " & c.close & " [" & Shown(c.ErrMsg) & "], Length " & c.Length
Say "ReadString length 0: " & c.readString("abc", 0) & ", Length " & c.Length
ok = c.Open(folder, "missing", "title", "missing", "missing")
Say "Open with a missing set: " & ok & " [" & Shown(c.ErrMsg) & "]"
ok = c.Open(folder, "cp1252", "title", "html2text", "missing")
Say "Open with a missing third table: " & ok & " [" & Shown(c.ErrMsg) & "]"
ok = c.ReadString("x", 1)
Say "a run without the third stage: " & c.Close & " [" & Shown(c.ErrMsg) & "]"

' The typical request.
c.ErrMsg = "kept"
ok = c.oPEN(folder, "cp1252", "title", "html2text", "translit")
Say "Open: " & ok & ", a success leaves ErrMsg [" & c.ErrMsg & "]"
page = "<html><head><title>Caf&eacute; menu</title></head>" & vbLf & _
       "<body><h1>Caf&eacute;</h1><p>Cr&egrave;me br&ucirc;l&eacute;e &amp; caf&eacute; au lait: " & _
       "&euro;3&#44;50</p></body></html>" & vbLf
cuts = Array(1, 15, 26, 86, 143, 150, Len(page) + 1)  ' inside "<title>", "&eacute;", "&egrave;", "&euro;", "&#44;"
For i = 0 To UBound(cuts) - 1
  ok = c.ReadString(Mid(page, cuts(i), cuts(i + 1) - cuts(i)), cuts(i + 1) - cuts(i))
  If Not ok Then Say "piece " & i & " refused: " & c.ErrMsg
Next
Say "before Close: Length " & c.Length
Say "Close: " & c.Close & ", Length " & c.Length & ", ErrMsg [" & c.ErrMsg & "]"

' A run that fails: a variable longer than the environment takes.
Set c = Create("Runeflow.Cobbleway")
ok = c.Open(folder, "cp1252", "keep", "give", "none")
ok = c.ReadString("[" & String(4094, "v") & "]", 4096)
Say "a failing run: " & c.Close & " [" & Shown(c.ErrMsg) & "], Length " & c.Length

' Two runs of one object: the first keeps a value in variable a, the second gives it.
c.ErrMsg = ""
ok = c.ReadString("[kept value]", 100)
Say "first run: " & c.Close & ", Length " & c.Length
ok = c.ReadString("{}", 2)
Say "second run: " & c.Close & ", Length " & c.Length & " (kept value)"

' The clipboard. Another program put data in every standard format and two registered ones (the last
' without the zero that ends a text); each is read by its name, and only by its name.
Dim name, plain
Set s = Create("Runeflow.Stream")
For Each name In Array("Text", "Sylk", "DIF", "OEM Text", "Runeflow sample", "Runeflow unended")
  ok = s.ReadClipboard(name)
  Say "ReadClipboard " & name & ": " & ok & " [" & Shown(s.WriteString(1000)) & "]"
Next
For Each name In Array("text", "TEXT", "Oem Text", "Runeflow absent", "")
  s.ErrMsg = ""
  Say "ReadClipboard """ & name & """: " & s.ReadClipboard(name) & " [" & s.ErrMsg & "]"
Next

' The typical request on the page the other program put there: Open, ReadClipboard "Text", Close,
' WriteClipboard "Text".
Dim request
Set request = Create("Runeflow.Cobbleway")
ok = request.Open(folder, "cp1252", "title", "html2text", "translit")
Say "typical request: ReadClipboard " & request.ReadClipboard("Text") & ", Length " & request.Length & _
    ", Close " & request.Close & ", Length " & request.Length & ", WriteClipboard " & _
    request.WriteClipboard("Text") & ", Length " & request.Length
Say "its result: " & s.ReadClipboard("Text") & " [" & Shown(s.WriteString(100)) & "]"
Say "the variable's run: " & c.WriteClipboard("Runeflow variable") & ", Length " & c.Length & _
    ", read back: " & s.ReadClipboard("Runeflow variable") & " [" & s.WriteString(100) & "]"

' Empty texts: an empty Stream puts an empty text, which reads as nothing; an empty Cobbleway result
' is refused with the head stream's error text (it has none).
Set t = Create("Runeflow.Stream")
Say "an empty Stream: " & t.WriteClipboard("Text") & ", Eos " & t.Eos
ok = s.ReadString("kept", 4)
Say "an empty text read: " & s.ReadClipboard("Text") & ", Length " & s.Length & " [" & s.WriteString(10) & "]"
ok = request.Close
request.ErrMsg = "before"
Say "an empty Cobbleway result: " & request.WriteClipboard("Text") & " [" & Shown(request.ErrMsg) & "]"

' Round trips of the bytes 1 to 255 in every standard format and a name registered by the write.
plain = ""
For i = 1 To 255
  plain = plain & Chr(i)
Next
For Each name In Array("Text", "OEM Text", "Sylk", "DIF", "Runeflow round trip")
  ok = s.ReadString(plain, 255)
  Say "round trip in " & name & ": " & s.WriteClipboard(name) & ", Length " & s.Length & ", read: " & _
      s.ReadClipboard(name) & ", the same: " & (s.WriteString(300) = plain)
Next
ok = s.ReadString("ab" & Chr(0) & "cd", 5)
Say "a zero byte ends the clipboard's text: " & s.WriteClipboard("Text") & ", read: " & _
    s.ReadClipboard("Text") & " [" & Shown(s.WriteString(10)) & "]"
s.ErrMsg = ""
ok = s.ReadString("kept", 4)
Say "a name that cannot be registered: " & s.WriteClipboard("") & " [" & s.ErrMsg & "], Length " & s.Length
s.Clear
ok = s.ReadString("left for another program " & Chr(233), 26)
Say "left on the clipboard: " & s.WriteClipboard("Runeflow left")
Say "END"
