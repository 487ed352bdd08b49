// The entry points libindi's driver main calls into.
#include <memory>

#include "indi/quillmoor_driver.h"

namespace {
std::unique_ptr<quillmoor::indi::QuillmoorDriver> driver(new quillmoor::indi::QuillmoorDriver());
}

void ISGetProperties(const char* dev) { driver->ISGetProperties(dev); }

void ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n)
{
    driver->ISNewSwitch(dev, name, states, names, n);
}

void ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n)
{
    driver->ISNewText(dev, name, texts, names, n);
}

void ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n)
{
    driver->ISNewNumber(dev, name, values, names, n);
}

void ISNewBLOB(const char*, const char*, int[], int[], char*[], char*[], char*[], int) {}

void ISSnoopDevice(XMLEle* root) { driver->ISSnoopDevice(root); }
