#pragma once

#include <X11/Xlib.h>

namespace osgTAVRI
{

// One read of a window property; the server's copy of the data is freed with the object.
class X11Property
{
public:
    // Reads up to `maxLength` 32-bit units of `property` as `requestedType` (AnyPropertyType
    // for any); `remove` deletes the property once it has been read whole.
    X11Property(Display* display, Window window, Atom property, long maxLength, bool remove, Atom requestedType);
    ~X11Property();
    X11Property(const X11Property&) = delete;
    X11Property& operator=(const X11Property&) = delete;

    // The items when the read succeeded with `format` bits an item, else null.
    // Items of format 32 are held as longs.
    const unsigned char* data(int format) const;
    Atom type() const { return actualType; }
    unsigned long count() const { return items; }

private:
    bool succeeded = false;
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long items = 0;
    unsigned char* bytes = nullptr;
};

} // namespace osgTAVRI
