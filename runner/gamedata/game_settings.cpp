#include "gamedata/game_settings.h"

#include "gamedata/cstream.h"
#include "gamedata/record_io.h"
#include "image/picture_file.h"

namespace kx {

namespace {

// The pictures sit between the two runs of scalars; each side brings its own.
template <class IO, class S, class Pictures>
bool settings_record(IO& io, S& s, Pictures pictures) {
    if (!io.version(kSettingsVersion)) return false;
    io.b(s.FullScreen);
    io.b(s.Interpolate);
    io.b(s.NoBorder);
    io.b(s.ShowCursor);
    io.i(s.Scaling);
    io.b(s.AllowResize);
    io.b(s.AlwaysOnTop);
    io.i(s.ColorOutsideRoom);
    io.b(s.SetResolution);
    io.i(s.ColorDepth);
    io.i(s.Resolution);
    io.i(s.Frequency);
    io.b(s.NoButtons);
    io.b(s.UseVSync);
    io.b(s.KeyF4Fullscreen);
    io.b(s.KeyF1Info);
    io.b(s.KeyEscEnd);
    io.b(s.KeyF5F6SaveLoad);
    io.i(s.Priority);
    io.b(s.FreezeOnLoseFocus);
    io.b(s.ShowProgressBar);
    pictures(s);
    io.b(s.LoadingImageTransparent);
    io.i(s.LoadingImageAlpha);
    io.b(s.ScaleProgressBar);
    io.b(s.DisplayErrors);
    io.b(s.WriteErrorLog);
    io.b(s.AbortOnError);
    io.b(s.UninitializedAsZero);
    int32_t n = static_cast<int32_t>(s.constants.size());
    io.i(n);
    if constexpr (IO::kReads) {
        // Each pair needs at least its two length fields: a count larger than
        // the rest of the data can hold is corrupt, not a reason to reserve
        // memory.
        if (n < 0 || static_cast<size_t>(n) > io.s.remaining() / 8) {
            if (n > 0) throw StreamError("constant count exceeds the data");
            n = 0;
        }
        s.constants.resize(static_cast<size_t>(n));
    }
    for (auto& c : s.constants) {
        io.str(c.name);
        io.str(c.value);
    }
    return true;
}

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
    RecordReader io{st};
    return settings_record(io, out, [&](GameSettings& s) {
        if (s.ShowProgressBar) {
            s.ProgressBarBack = read_pic(st, raw ? &raw->bar_back : nullptr);
            s.ProgressBarFront = read_pic(st, raw ? &raw->bar_front : nullptr);
        }
        s.LoadingImage = read_pic(st, raw ? &raw->loading : nullptr);
    });
}

void write_settings(CStream& st, const GameSettings& in, const SettingsPictures& pics) {
    RecordWriter io{st};
    settings_record(io, in, [&](const GameSettings& s) {
        if (s.ShowProgressBar) {
            st.write_picture(pics.bar_back);
            st.write_picture(pics.bar_front);
        }
        st.write_picture(pics.loading);
    });
}

}  // namespace kx
