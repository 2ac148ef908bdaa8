#pragma once
// The linear map between an axis's values and widget pixels, the one the plot
// and the spectrogram draw with: where a value lands and what a pointer points at.

// Value v lies at pixel offset + (v - low) / (high - low) * length when it grows
// with the pixel coordinate (left to right, or down a mirrored axis), and at
// offset + (high - v) / (high - low) * length when it grows upwards. Pixel
// coordinates are continuous: pixel p covers p ... p + 1.
struct AxisMap
{
    double low = 0;
    double high = 0;
    int offset = 0;
    int length = 0;
    bool growsWithPixels = true;

    // A finite, non-empty range over at least one pixel.
    bool valid() const;
    double valueAt(double pixel) const;
    double pixelAt(double value) const;
    // Value per pixel (positive).
    double valuePerPixel() const;
    // The map of the same pixels once the picture is dragged by `pixels` along the
    // axis: what was drawn at pixel p is drawn at p + pixels.
    AxisMap draggedBy(int pixels) const;
};

// A horizontal axis, and a vertical one (values growing upwards unless mirrored).
AxisMap horizontalAxisMap(double low, double high, int offset, int length);
AxisMap verticalAxisMap(double low, double high, int offset, int length, bool mirrored = false);
