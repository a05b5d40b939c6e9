#include "gamedata/game_settings.h"

#include "gamedata/cstream.h"
#include "image/picture_file.h"

namespace kx {

// One field list drives both directions so reader and writer cannot drift.
template <class S, class Int, class Bool>
static void settings_scalars_1_to_21(S& s, Int i, Bool b) {
    b(s.FullScreen);
    b(s.Interpolate);
    b(s.NoBorder);
    b(s.ShowCursor);
    i(s.Scaling);
    b(s.AllowResize);
    b(s.AlwaysOnTop);
    i(s.ColorOutsideRoom);
    b(s.SetResolution);
    i(s.ColorDepth);
    i(s.Resolution);
    i(s.Frequency);
    b(s.NoButtons);
    b(s.UseVSync);
    b(s.KeyF4Fullscreen);
    b(s.KeyF1Info);
    b(s.KeyEscEnd);
    b(s.KeyF5F6SaveLoad);
    i(s.Priority);
    b(s.FreezeOnLoseFocus);
    b(s.ShowProgressBar);
}

template <class S, class Int, class Bool>
static void settings_scalars_25_to_31(S& s, Int i, Bool b) {
    b(s.LoadingImageTransparent);
    i(s.LoadingImageAlpha);
    b(s.ScaleProgressBar);
    b(s.DisplayErrors);
    b(s.WriteErrorLog);
    b(s.AbortOnError);
    b(s.UninitializedAsZero);
}

namespace {
std::optional<CBitmap32> read_pic(CStream& st, std::optional<std::vector<uint8_t>>* raw) {
    auto file = st.read_picture_file();
    if (!file) return std::nullopt;
    if (raw) *raw = *file;
    auto pic = decode_bmp(*file);
    if (!pic) return std::nullopt;
    return std::move(pic->image);
}
}  // namespace

bool read_settings(CStream& st, GameSettings& out, SettingsRawPictures* raw) {
    out = GameSettings{};
    if (st.read_int() != kSettingsVersion) return false;
    auto ri = [&](int32_t& v) { v = st.read_int(); };
    auto rb = [&](bool& v) { v = st.read_bool(); };
    settings_scalars_1_to_21(out, ri, rb);
    if (out.ShowProgressBar) {
        out.ProgressBarBack = read_pic(st, raw ? &raw->bar_back : nullptr);
        out.ProgressBarFront = read_pic(st, raw ? &raw->bar_front : nullptr);
    }
    out.LoadingImage = read_pic(st, raw ? &raw->loading : nullptr);
    settings_scalars_25_to_31(out, ri, rb);
    int32_t n = st.read_int();
    // Each pair needs at least its two length fields: a count larger than the
    // rest of the data can hold is corrupt, not a reason to reserve memory.
    if (n < 0 || static_cast<size_t>(n) > st.remaining() / 8) {
        if (n > 0) throw StreamError("constant count exceeds the data");
        n = 0;
    }
    for (int32_t k = 0; k < n; ++k) {
        GameConstant c;
        c.name = st.read_string();
        c.value = st.read_string();
        out.constants.push_back(std::move(c));
    }
    return true;
}

void write_settings(CStream& st, const GameSettings& in, const SettingsPictures& pics) {
    st.write_int(kSettingsVersion);
    auto wi = [&](const int32_t& v) { st.write_int(v); };
    auto wb = [&](const bool& v) { st.write_bool(v); };
    settings_scalars_1_to_21(in, wi, wb);
    if (in.ShowProgressBar) {
        st.write_picture(pics.bar_back);
        st.write_picture(pics.bar_front);
    }
    st.write_picture(pics.loading);
    settings_scalars_25_to_31(in, wi, wb);
    st.write_int(static_cast<int32_t>(in.constants.size()));
    for (const auto& c : in.constants) {
        st.write_string(c.name);
        st.write_string(c.value);
    }
}

}  // namespace kx
