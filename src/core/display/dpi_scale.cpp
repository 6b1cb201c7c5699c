#include "core/display/dpi_scale.h"

namespace {

constexpr uint32_t MAX_DPI = 3840;

uint32_t UsableDpi(uint32_t dpi) {
    return dpi == 0 || dpi > MAX_DPI ? BASE_DPI : dpi;
}

int32_t Clamped(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

// Width and height are scaled as sizes, so a window's size round-trips through its stored form.
AnchorRect ResizedRect(AnchorRect rect, uint32_t fromDpi, uint32_t toDpi) {
    int64_t width = static_cast<int64_t>(rect.right) - rect.left;
    int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
    int32_t scaledWidth = ScaleBetweenDpi(Clamped(width), fromDpi, toDpi);
    int32_t scaledHeight = ScaleBetweenDpi(Clamped(height), fromDpi, toDpi);
    return AnchorRect{rect.left, rect.top, Clamped(static_cast<int64_t>(rect.left) + scaledWidth),
                      Clamped(static_cast<int64_t>(rect.top) + scaledHeight)};
}

} // namespace

int32_t ScaleBetweenDpi(int32_t value, uint32_t fromDpi, uint32_t toDpi) {
    int64_t from = UsableDpi(fromDpi);
    int64_t scaled = static_cast<int64_t>(value) * UsableDpi(toDpi);
    int64_t rounded = scaled >= 0 ? (scaled + from / 2) / from : -((-scaled + from / 2) / from);
    return Clamped(rounded);
}

PixelSize ListImageSize(uint32_t dpi) {
    return PixelSize{ScaleToDpi(16, dpi), ScaleToDpi(14, dpi)};
}

PixelSize StatusIconSize(uint32_t dpi) {
    return PixelSize{ScaleToDpi(14, dpi), ScaleToDpi(14, dpi)};
}

AnchorRect ScaleRectBetweenDpi(AnchorRect rect, uint32_t fromDpi, uint32_t toDpi) {
    return AnchorRect{ScaleBetweenDpi(rect.left, fromDpi, toDpi), ScaleBetweenDpi(rect.top, fromDpi, toDpi),
                      ScaleBetweenDpi(rect.right, fromDpi, toDpi), ScaleBetweenDpi(rect.bottom, fromDpi, toDpi)};
}

AnchorRect StoredWindowRect(AnchorRect shown, uint32_t dpi) {
    return ResizedRect(shown, dpi, BASE_DPI);
}

AnchorRect ShownWindowRect(AnchorRect stored, uint32_t dpi) {
    return ResizedRect(stored, BASE_DPI, dpi);
}
