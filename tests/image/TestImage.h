// Opens the image object's protected state to the tests.
#pragma once

#include "ZImage.h"

class TestImage : public ZImage {
public:
    using ZImage::ZImage;
    BITMAPINFOHEADER& Head() { return head; }
    tagZImageState& Info() { return info; }
    BYTE* Selection() { return selection; }
    void SetSelection(BYTE* plane) { selection = plane; }
    void SetLayers(ZImage** list, LONG count) {
        layers = list;
        info.numLayers = count;
    }
};

inline bool operator==(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

inline RGBQUAD Rgb(BYTE red, BYTE green, BYTE blue, BYTE reserved = 0) {
    return RGBQUAD{blue, green, red, reserved};
}
