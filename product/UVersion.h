// The product version, defined once: the version resources (windres), the product constants
// (C++) and resources/payload/generate.py all read it from here. Plain #defines only, so that
// windres can read this file.
#ifndef VK_PRODUCT_UVERSION_H
#define VK_PRODUCT_UVERSION_H

#define VK_VERSION_MAJOR 4
#define VK_VERSION_MINOR 0
#define VK_VERSION_RELEASE 7

// "4,0,7,0": the binary form of the version resources.
#define VK_VERSION_BINARY VK_VERSION_MAJOR, VK_VERSION_MINOR, VK_VERSION_RELEASE, 0

// "4.07": the version text shown to the user and written to the registry and the logs.
#define VK_STRINGIZE_(x) #x
#define VK_STRINGIZE(x) VK_STRINGIZE_(x)
#define VK_VERSION_TEXT                                                                            \
    VK_STRINGIZE(VK_VERSION_MAJOR)                                                                 \
    "." VK_STRINGIZE(VK_VERSION_MINOR) VK_STRINGIZE(VK_VERSION_RELEASE)

#endif
