' An outside automation client: creates the plug-in by its programmatic identifier, as
' any script can, and prints what it answers.
Set plugin = CreateObject("Zorvane.clsVELTPlugIn")
WScript.Echo "PluginName: " & plugin.PluginName
