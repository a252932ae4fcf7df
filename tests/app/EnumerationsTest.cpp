// The enumerations the settings hold: 32-bit codes with their old values, none of
// which passes for another enumeration or for a plain number.
#include <gtest/gtest.h>

// Xlib first, with its None among its macros: no name of the program's clashes
// with them, in whatever order a file includes the two.
#include <X11/Xlib.h>

#include <cstdint>
#include <type_traits>

#include "app/HairSettings.h"
#include "geometry/NurbsSurface.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairRecipe.h"
#include "view/DrawPass.h"

namespace {

template <typename Enumeration>
constexpr int32_t code(Enumeration value)
{
    return static_cast<int32_t>(value);
}

template <typename Enumeration>
constexpr bool isA32BitCode =
    std::is_same_v<std::underlying_type_t<Enumeration>, int32_t> &&
    !std::is_convertible_v<Enumeration, int> && !std::is_convertible_v<int, Enumeration>;

static_assert(isA32BitCode<UnderlyingShape> && isA32BitCode<HairStyle> &&
              isA32BitCode<DisplayMode> && isA32BitCode<ZoomMode> && isA32BitCode<StripStyle>);

static_assert(code(UnderlyingShape::Torus) == 3 && code(UnderlyingShape::Plane) == 7 &&
              code(UnderlyingShape::Sphere) == 8 && code(UnderlyingShape::NoShape) == 20);
static_assert(code(HairStyle::Messy) == 8 && code(HairStyle::Combed) == 9);
static_assert(code(DisplayMode::Wireframe) == 0 && code(DisplayMode::Smooth) == 1 &&
              code(DisplayMode::Texture) == 3);
static_assert(code(ZoomMode::ZoomIn) == 5 && code(ZoomMode::ZoomOut) == 6 &&
              code(ZoomMode::NoZoom) == 7);
static_assert(code(StripStyle::Plain) == 0 && code(StripStyle::Textured) == 3);

// Sphere and Messy are both 8, Torus and Textured both 3: a shape is still no style,
// nor a display mode a strip style.
static_assert(!std::is_convertible_v<UnderlyingShape, HairStyle> &&
              !std::is_convertible_v<HairStyle, UnderlyingShape> &&
              !std::is_convertible_v<DisplayMode, StripStyle> &&
              !std::is_convertible_v<StripStyle, DisplayMode> &&
              !std::is_convertible_v<DisplayMode, ZoomMode>);
static_assert(!std::is_invocable_v<decltype(&shapeName), HairStyle> &&
              !std::is_invocable_v<decltype(&styleName), UnderlyingShape> &&
              !std::is_invocable_v<decltype(&defaultRecipe), int>);

// The settings keep their 32-bit fields.
static_assert(sizeof(HairSettings::shape) == 4 && sizeof(HairSettings::style) == 4 &&
              sizeof(HairSettings::displayMode) == 4 && sizeof(HairSettings::zoomMode) == 4);

}  // namespace
