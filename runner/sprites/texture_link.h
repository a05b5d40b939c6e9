#pragma once
// How sprite and background images become textures. The sprites do not know
// the drawing device: while one exists, its owner puts a maker in the link
// that every sprite and background of the runtime shares; without one, images
// have no textures (-1).
#include <cstdint>

namespace kx {

struct CBitmap32;

class ITextureMaker {
public:
    virtual int32_t make(const CBitmap32& image) = 0;  // a texture id, or -1
    // A texture that may share its device texture with others (a sprite's
    // subimage): drawn alike, but its texture coordinates start where its
    // table entry says.
    virtual int32_t make_packed(const CBitmap32& image) { return make(image); }
    virtual void free(int32_t texture) = 0;
    virtual void preload(int32_t texture) = 0;

protected:
    ~ITextureMaker() = default;
};

struct TextureLink {
    ITextureMaker* maker = nullptr;
};

}  // namespace kx
