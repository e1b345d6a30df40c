// Reads a file into a Stream and shows it in pieces of at most 200 characters, each after the number
// of characters still waiting. Usage: cscript read_in_pieces.js FILE (a full path: the server does not
// share the script's current directory).
var args = WScript.Arguments;
if (args.length != 1) fail("usage: read_in_pieces.js FILE");
var stream = new ActiveXObject("Runeflow.Stream");
if (!stream.Open("C:\\Runeflow")) fail(stream.ErrMsg);
if (!stream.ReadFile(args(0))) fail(stream.ErrMsg);
for (var waiting = stream.Length(); waiting > 0; waiting = stream.Length()) {
  WScript.Echo("[" + waiting + " waiting] " + stream.WriteString(200));
}

function fail(message) {
  WScript.Echo("Cobbleway: " + message);
  WScript.Quit(1);
}
