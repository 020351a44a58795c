// Registers (copy) or removes (remove) the Velkora Help 2 collection with the help system of
// Borland Developer Studio, through the help registration object of the IDE's help system.
var action = WScript.Arguments.length > 0 ? WScript.Arguments(0).toLowerCase() : "";
var namespaceName = "Brightmoss.Velkora.407";
var shell = WScript.CreateObject("WScript.Shell");
var fso = WScript.CreateObject("Scripting.FileSystemObject");
var helpDir = fso.GetParentFolderName(WScript.ScriptFullName);

function register(reg) {
    reg.RegisterNamespace(namespaceName, fso.BuildPath(helpDir, "vklib.hxc"), "Velkora");
    reg.RegisterHelpFileEx(namespaceName, "vklib", 1033, fso.BuildPath(helpDir, "vklib.hxs"),
                           fso.BuildPath(helpDir, "vklib.hxi"), "", "", 0, 0, 0, 0);
    reg.RegisterFilter(namespaceName, "Velkora", "\"DocSet\"=\"Velkora\"");
}

function unregister(reg) {
    reg.RemoveFilter(namespaceName, "Velkora");
    reg.RemoveHelpFile(namespaceName, "vklib", 1033);
    reg.RemoveNamespace(namespaceName);
}

var reg;
try {
    reg = WScript.CreateObject("HxDs.HxRegisterSession");
    reg.CreateTransaction("");
    reg = reg.GetRegistrationObject(1);
} catch (e) {
    WScript.Echo("The help system is not installed: " + e.message);
    WScript.Quit(1);
}
if (action == "copy") {
    register(reg);
} else if (action == "remove") {
    unregister(reg);
} else {
    WScript.Echo("usage: vklib_reg.js copy|remove");
    WScript.Quit(2);
}
WScript.Quit(0);
