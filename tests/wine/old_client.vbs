' An old client in Wine's own script host: it knows Link, Position, Move and
' the wheel's Position, and reads InterfaceVersion to see what it was given.
' Errors are read as a script reads them: Err.Number and Err.Description.
Option Explicit
Dim focuser, wheel
Set focuser = CreateObject("Quillmoor.Focuser")
Set wheel = CreateObject("Quillmoor.FilterWheel")
WScript.Echo "InterfaceVersion " & focuser.InterfaceVersion & " " & wheel.InterfaceVersion
focuser.Link = True
WScript.Echo "Link " & focuser.Link & " Connected " & focuser.Connected
focuser.Move 1200
WScript.Echo "Position " & focuser.Position & " IsMoving " & focuser.IsMoving
On Error Resume Next
focuser.Halt
WScript.Echo "Halt " & Hex(Err.Number) & " " & Err.Description
Err.Clear
wheel.Connected = True
wheel.Position = 7
WScript.Echo "wheel Position = 7: " & Hex(Err.Number)
Err.Clear
wheel.Position = 2
WScript.Echo "wheel Position " & wheel.Position & " " & Hex(Err.Number)
wheel.Connected = False
focuser.Link = False
WScript.Echo "Link " & focuser.Link
focuser.Move 100
WScript.Echo "Move, not connected: " & Hex(Err.Number) & " " & Err.Description
