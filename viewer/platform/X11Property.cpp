#include "viewer/platform/X11Property.h"

namespace osgTAVRI
{

X11Property::X11Property(Display* display, Window window, Atom property, long maxLength, bool remove,
                         Atom requestedType)
{
    unsigned long remaining = 0;
    succeeded = XGetWindowProperty(display, window, property, 0, maxLength, remove ? True : False,
                                   requestedType, &actualType, &actualFormat, &items, &remaining,
                                   &bytes) == Success;
}

X11Property::~X11Property()
{
    if (bytes)
        XFree(bytes);
}

const unsigned char* X11Property::data(int format) const
{
    return succeeded && actualFormat == format ? bytes : nullptr;
}

} // namespace osgTAVRI
