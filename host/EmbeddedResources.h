// The table of binary resources compiled into the Linux build (generated from resources/).
// Windows builds keep the same data as module resources instead.
#pragma once

struct EmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* data;
    unsigned size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const unsigned kEmbeddedResourceCount;
