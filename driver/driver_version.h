// The driver's version: the DLL's version resource and DriverVersion both
// take it from here.
#pragma once

#define QUILLMOOR_VERSION_MAJOR 1
#define QUILLMOOR_VERSION_MINOR 0
#define QUILLMOOR_VERSION_BUILD 0
#define QUILLMOOR_VERSION_REVISION 1
#define QUILLMOOR_VERSION_TEXT "1, 0, 0, 1"
