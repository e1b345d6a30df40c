// Both classes of the server created from JScript by their ProgIDs: the version of a new object, the
// error text read and assigned, names in any letter case, and 8-bit texts through the ANSI code page.
// Prints one line per finding and END last (Wine's script host reports no script errors).

// The object, created again once after a pause (a busy second: Wine has no WScript.Sleep) when the
// server was still starting.
function create(progId) {
  try {
    return new ActiveXObject(progId);
  } catch (first) {
    for (var start = new Date().getTime(); new Date().getTime() - start < 1000;) {}
    try {
      return new ActiveXObject(progId);
    } catch (second) {
      WScript.Echo(progId + ": not created, error " + second.number);
      return null;
    }
  }
}

function codes(text) {
  var list = "";
  for (var i = 0; i < text.length; i++) list += " " + text.charCodeAt(i);
  return list;
}

function check(progId) {
  var o = create(progId);
  if (o === null) return;
  try {
    WScript.Echo(progId + " Version: " + o.Version);
    WScript.Echo(progId + " ErrMsg: [" + o.ErrMsg + "]");
    o.errmsg = "Assigned\n";
    WScript.Echo(progId + " ERRMSG: [" + o.ERRMSG + "]");
    o.ErrMsg = "caf" + String.fromCharCode(233) + " " + String.fromCharCode(0x20AC, 0) + "x";
    WScript.Echo(progId + " ErrMsg length, codes: " + o.ErrMsg.length + codes(o.ErrMsg));
    o.Version = "";
    WScript.Echo(progId + " Version: [" + o.Version + "]");
  } catch (e) {
    WScript.Echo(progId + ": error " + e.number + " " + e.message);
  }
}

check("Runeflow.Stream");
check("Runeflow.Cobbleway");
WScript.Echo("END");
