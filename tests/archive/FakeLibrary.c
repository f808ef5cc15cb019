/* Stand-ins for a library file that is not the archive library: built three ways by
   the test CMake file (no exports, CreateObject only, and the full set with an
   interface layout this program cannot call). */
#include <stdint.h>
#include <string.h>

#ifdef FAKE_CREATE_OBJECT
int32_t CreateObject(const void* clsid, const void* iid, void** out)
{
    (void)clsid; (void)iid;
    *out = 0;
    return (int32_t)0x80040111u;
}
#endif

#ifdef FAKE_HANDLER_PROPERTY
int32_t GetHandlerProperty(uint32_t propId, void* value)
{
    (void)propId; (void)value;
    return 0;
}
#endif

#ifdef FAKE_VIRTUAL_DESTRUCTOR_LAYOUT
int32_t GetModuleProp(uint32_t propId, void* value)
{
    /* VT_UI4 = 19, value 1: IUnknown with a virtual destructor. */
    unsigned char* v = (unsigned char*)value;
    uint16_t vt = 19;
    uint32_t one = 1;
    if (propId != 0)
        return 0;
    memset(v, 0, 16);
    memcpy(v, &vt, 2);
    memcpy(v + 8, &one, 4);
    return 0;
}
#endif

int fake_library_marker(void) { return 1; }
