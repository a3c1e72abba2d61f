// The program's resources: icon 101 at its own size and scaled to any size
// asked of LoadImageA, and the system arrow cursor. Loaded icons and cursors
// are shared and live as long as the process, so callers never free them.
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "runtime/win32/app_icon.h"
#include "runtime/win32/icon_image.h"

namespace {

constexpr int kLargestIcon = 256;

// Scales the icon by averaging the source area under each target pixel,
// weighting colour by alpha so that transparent pixels add no colour.
std::unique_ptr<HICON__> ScaleIcon(int width, int height) {
    auto icon = std::make_unique<HICON__>();
    icon->width = width;
    icon->height = height;
    icon->rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    const double scaleX = static_cast<double>(kAppIconSize) / width;
    const double scaleY = static_cast<double>(kAppIconSize) / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            double area = 0;
            const double x0 = x * scaleX;
            const double x1 = (x + 1) * scaleX;
            const double y0 = y * scaleY;
            const double y1 = (y + 1) * scaleY;
            for (int sy = static_cast<int>(y0); sy < kAppIconSize && sy < y1; ++sy) {
                const double coverY = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
                for (int sx = static_cast<int>(x0); sx < kAppIconSize && sx < x1; ++sx) {
                    const double coverX = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
                    const double weight = coverX * coverY;
                    const unsigned char* pixel = &kAppIconRgba[(sy * kAppIconSize + sx) * 4];
                    const double alpha = pixel[3] / 255.0;
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += pixel[c] * alpha * weight;
                    }
                    sum[3] += alpha * weight;
                    area += weight;
                }
            }
            unsigned char* out = &icon->rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            const double alpha = area > 0 ? sum[3] / area : 0;
            for (int c = 0; c < 3; ++c) {
                out[c] = sum[3] > 0 ? static_cast<unsigned char>(sum[c] / sum[3] + 0.5) : 0;
            }
            out[3] = static_cast<unsigned char>(alpha * 255.0 + 0.5);
        }
    }
    return icon;
}

HICON AppIcon(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<HICON__>> icons;
    auto& icon = icons[{width, height}];
    if (!icon) {
        icon = ScaleIcon(width, height);
    }
    return icon.get();
}

bool IsAppIcon(HINSTANCE instance, LPCSTR name) {
    // The program's own resources need its instance; resources are numbered.
    return instance != nullptr && name != nullptr && IS_INTRESOURCE(name) &&
           reinterpret_cast<std::uintptr_t>(name) == kAppIconResource;
}

}  // namespace

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    return IsAppIcon(instance, name) ? AppIcon(kAppIconSize, kAppIconSize) : nullptr;
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height,
                  UINT /*load*/) {
    if (type != IMAGE_ICON || !IsAppIcon(instance, name) || width < 0 || height < 0 ||
        width > kLargestIcon || height > kLargestIcon) {
        return nullptr;
    }
    // A zero size asks for the resource's own size.
    return AppIcon(width == 0 ? kAppIconSize : width, height == 0 ? kAppIconSize : height);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    // Only the system arrow exists; the program has no cursor resources.
    static HCURSOR__ arrow{32512};
    if (instance == nullptr && cursorName == IDC_ARROW) {
        return &arrow;
    }
    return nullptr;
}
