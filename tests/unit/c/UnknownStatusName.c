/* In C an enum object may hold any int, so a host can hand the library a
   status no enumerator names; C++ cannot even form that value without
   undefined behaviour, so the call is made from here. */
#include "quorvela/quorvela_c.h"

const char* unknownStatusName(void);

const char* unknownStatusName(void) { return quorvela_status_name((quorvela_status_t)42); }
