' Holds the plug-in loaded, as a running host does: creates it, creates the file named by
' the first argument, and keeps it until the file named by the second exists. Waits by
' polling, since WScript.Sleep is not there under Wine.
Set files = CreateObject("Scripting.FileSystemObject")
Set plugin = CreateObject("Zorvane.clsVELTPlugIn")
files.CreateTextFile(WScript.Arguments(0), True).Close
Do Until files.FileExists(WScript.Arguments(1))
Loop
Set plugin = Nothing
