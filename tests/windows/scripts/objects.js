// Both classes of the server from JScript, every member, names in mixed letter case: new objects (their
// version, ErrMsg read and assigned, 8-bit texts through the ANSI code page), the members of each class
// once, and every byte value as JScript sees it: the bytes 0 to 255 read from a file arrive as the
// characters the ANSI code page maps them to and go back as the same bytes; a character the code page
// lacks arrives as "?". Writes to the clipboard while another program holds it open fail and keep their
// text, and succeed once it lets go.
// Argument: a folder holding all.bin (the bytes 0 to 255) and the shipped sets and tables; the script
// writes its files there. Another program holds the clipboard open until the script writes the file
// "release" there (see objects_test.sh).
// Prints one line per finding and END last (Wine's script host reports no script errors).
var folder = WScript.Arguments(0);

// A busy second: Wine has no WScript.Sleep.
function pause() {
  for (var start = new Date().getTime(); new Date().getTime() - start < 1000;) {}
}

// The object, created again once after a pause when the server was still starting.
function create(progId) {
  try {
    return new ActiveXObject(progId);
  } catch (first) {
    pause();
    return new ActiveXObject(progId);
  }
}

function codes(text) {
  var list = "";
  for (var i = 0; i < text.length; i++) list += " " + text.charCodeAt(i);
  return list;
}

// A text on one line: line feeds as \n, the folder as <folder>.
function shown(text) {
  return text.split(folder).join("<folder>").replace(/\n/g, "\\n");
}

function say(line) {
  WScript.Echo(line);
}

function checkNew(progId) {
  var o = create(progId);
  say(progId + " Version: " + o.Version + ", ErrMsg: [" + o.ErrMsg + "]");
  o.errmsg = "Assigned\n";
  say(progId + " ERRMSG: [" + shown(o.ERRMSG) + "]");
  o.ErrMsg = "caf" + String.fromCharCode(233) + " " + String.fromCharCode(0x20AC, 0) + "x";
  say(progId + " ErrMsg length, codes: " + o.ErrMsg.length + codes(o.ErrMsg));
  o.Version = "";
  say(progId + " Version: [" + o.Version + "]");
}

try {
  checkNew("Runeflow.Stream");
  checkNew("Runeflow.Cobbleway");
  var s = create("Runeflow.Stream");
  var t = create("Runeflow.Stream");
  var c = create("Runeflow.Cobbleway");
  say("Close before Open: " + s.close() + " [" + shown(s.ErrMsg) + "]");
  say("Open: " + s.Open(folder) + ", ReadString: " + s.READSTRING("abcdef", 4) + ", Length " + s.Length());
  say("WriteString: [" + s.writestring(3) + "], Eos " + s.Eos() + ", [" + s.WriteString(9) + "], Eos " + s.EOS());
  s.ReadString("dropped", 7);
  s.clear();
  say("Clear: Length " + s.Length());
  say("ReadFile: " + s.ReadFile(folder + "\\all.bin") + ", Length " + s.Length());
  var fromFile = s.WriteString(256);
  var codes = "";
  for (var i = 0; i < fromFile.length; i++) {
    if (fromFile.charCodeAt(i) != i) codes += " " + i + ":" + fromFile.charCodeAt(i);
  }
  say("bytes that arrive as another character:" + codes);
  s.ReadString(fromFile, fromFile.length);
  say("those characters written: " + s.WriteFile(folder + "\\js.bin"));
  var latin1 = "";
  for (var i = 0; i < 256; i++) latin1 += String.fromCharCode(i);
  s.ReadString(latin1, 256);
  var back = s.WriteString(256);
  codes = "";
  for (var i = 0; i < back.length; i++) {
    if (back.charCodeAt(i) != i && back.charCodeAt(i) != fromFile.charCodeAt(i)) codes += " " + i;
  }
  say("characters 0 to 255 that the code page lacks, back as " + back.charCodeAt(128) + ":" + codes);
  t.Open(folder);
  t.ReadString("from t", 6);
  say("ReadStream: " + s.ReadStream(t) + " [" + s.WriteString(10) + "]");
  s.ErrMsg = "";
  say("ReadStream of a Cobbleway: " + s.readStream(c) + " [" + s.ErrMsg + "]");
  s.ErrMsg = "";
  s.Add(t);
  s.ReadString("s to t", 6);
  say("Add: [" + s.ErrMsg + "], t [" + t.WriteString(10) + "], Close " + s.Close());
  s.Connect(s, s);
  s.ReadString("s alone", 7);
  say("Connect: [" + s.ErrMsg + "], s [" + s.WriteString(10) + "]");
  s.add(c);
  say("Add a Cobbleway: [" + s.ErrMsg + "]");

  say("Open: " + c.open(folder, "latin1", "html2text", "text2html", "nosuch") + " [" + shown(c.ERRMSG) + "]");
  say("Open: " + c.Open(folder, "latin1", "html2text", "text2html", "none"));
  say("ReadString: " + c.ReadString("<p>Tom &amp; Jerry</p>", 22) + ", Length " + c.Length());
  say("Close: " + c.Close() + ", Length " + c.LENGTH());

  // Another program holds the clipboard open: the writes fail and keep their text; once it lets go
  // (it waits for the file release), they succeed.
  var held = create("Runeflow.Stream");
  held.ReadString("kept while held", 15);
  say("held: WriteClipboard " + held.writeClipboard("Text") + " [" + held.ErrMsg + "], Length " + held.Length());
  held.ErrMsg = "";
  say("held: ReadClipboard " + held.READCLIPBOARD("Text") + " [" + held.ErrMsg + "], Length " + held.Length());
  say("held: Cobbleway WriteClipboard " + c.WriteClipboard("Text") + " [" + c.ErrMsg + "], Length " + c.Length());
  s.WriteFile(folder + "\\release");
  var written = false;
  for (var tries = 0; tries < 20 && !written; tries++) {
    written = held.WriteClipboard("Text");
    if (!written) pause();
  }
  say("let go: WriteClipboard " + written + ", Length " + held.Length() + ", read: " + held.ReadClipboard("Text") +
      " [" + held.WriteString(100) + "]");
  say("let go: Cobbleway WriteClipboard " + c.writeclipboard("Runeflow from JScript") + ", Length " + c.Length() +
      ", read: " + held.ReadClipboard("Runeflow from JScript") + " [" + held.WriteString(100) + "]");
} catch (e) {
  say("error " + e.number + " " + e.description);
}
say("END");
