#include "quorvela/Version.h"

extern "C" {
// Exported for tools that read a binary's version without running it.
const double QuorvelaSDKVersionNumber = 1.0;
const unsigned char QuorvelaSDKVersionString[] = "@(#)PROGRAM:QuorvelaSDK  PROJECT:QuorvelaSDK-1\n";
}
