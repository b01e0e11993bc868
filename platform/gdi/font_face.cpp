// Finds a face through fontconfig, loads it with FreeType at the requested pixel height and turns
// its glyphs into coverage images. Metrics follow GDI: the cell is the face's Windows ascent plus
// descent scaled to the em height and rounded to whole pixels; advances are hinted whole pixels.
#include "gdi/font_face.h"
#include "win32/text_encoding.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace platform::gdi {

namespace {

// The FreeType library and fontconfig are shared by every font; creating and destroying faces
// goes through this lock.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0) {
            return static_cast<FT_Library>(nullptr);
        }
        return created;
    }();
    return library;
}

// A fontconfig configuration of our own, destroyed at exit: the library's shared default one is
// never freed, and other users of fontconfig in the process (the toolkit) keep theirs.
class FontConfiguration {
public:
    FontConfiguration() : config(FcInitLoadConfigAndFonts()) {}
    ~FontConfiguration() {
        if (config != nullptr) {
            FcConfigDestroy(config);
        }
    }
    FcConfig* Get() const { return config; }

private:
    FcConfig* config;
};

// The file and face index fontconfig chooses for the name, weight and slant. Names fontconfig has
// no alias for still match its default sans face, as GDI substitutes an unknown face. Called with
// the library lock held.
bool FindFontFile(const FontRequest& request, std::string* path, int* index) {
    static FontConfiguration configuration;
    FcConfig* config = configuration.Get();
    if (config == nullptr) {
        return false;
    }
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        return false;
    }
    const char* family = request.faceName.empty() ? "sans-serif" : request.faceName.c_str();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) {
        return false;
    }
    FcChar8* file = nullptr;
    int faceIndex = 0;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (found) {
        *path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch) {
            faceIndex = 0;
        }
        *index = faceIndex;
    }
    FcPatternDestroy(match);
    return found;
}

constexpr int DEFAULT_EM_PIXELS = 16;
constexpr int MAX_EM_PIXELS = 2048;

} // namespace

std::unique_ptr<FontFace> FontFace::Create(const FontRequest& request, std::string* error) {
    std::lock_guard<std::mutex> guard(LibraryLock());
    FT_Library library = Library();
    if (library == nullptr) {
        *error = "FreeType could not be initialised";
        return nullptr;
    }
    std::string path;
    int index = 0;
    if (!FindFontFile(request, &path, &index)) {
        *error = "no installed face matches \"" + request.faceName + "\"";
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), index, &face) != 0 || face == nullptr) {
        *error = "FreeType cannot load " + path;
        return nullptr;
    }
    std::unique_ptr<FontFace> font(new FontFace());
    font->face = face;
    font->filePath = path;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && face->num_charmaps > 0) {
        FT_Set_Charmap(face, face->charmaps[0]);
    }

    // GDI's cell: the Windows ascent and descent of the OS/2 table, else the face's own.
    double unitsAscent = face->ascender;
    double unitsDescent = -static_cast<double>(face->descender);
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
        unitsAscent = os2->usWinAscent;
        unitsDescent = os2->usWinDescent;
    }
    double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
    if (unitsAscent + unitsDescent <= 0) {
        unitsAscent = unitsPerEm * 0.9;
        unitsDescent = unitsPerEm * 0.2;
    }

    int em = DEFAULT_EM_PIXELS;
    if (request.height < 0) {
        em = -request.height;
    } else if (request.height > 0) {
        em = static_cast<int>(std::lround(request.height * unitsPerEm / (unitsAscent + unitsDescent)));
    }
    if (em < 1) {
        em = 1;
    }
    if (em > MAX_EM_PIXELS) {
        *error = "font height out of range";
        return nullptr;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) {
        *error = "FreeType cannot size the face";
        return nullptr;
    }
    font->emPixels = em;
    font->ascent = static_cast<int>(std::lround(unitsAscent * em / unitsPerEm));
    font->descent = static_cast<int>(std::lround(unitsDescent * em / unitsPerEm));
    if (request.height > 0) {
        // A positive height asks for exactly that cell; any difference from the rounded metrics goes to
        // the descent.
        font->descent = std::max(0, request.height - font->ascent);
    }
    return font;
}

FontFace::~FontFace() {
    if (face != nullptr) {
        std::lock_guard<std::mutex> guard(LibraryLock());
        FT_Done_Face(static_cast<FT_Face>(face));
    }
}

bool FontFace::LoadGlyph(unsigned char character) {
    FT_Face ftFace = static_cast<FT_Face>(face);
    FT_UInt glyph = FT_Get_Char_Index(ftFace, CodePointOfAnsi(character));
    return FT_Load_Glyph(ftFace, glyph, FT_LOAD_DEFAULT) == 0;
}

int FontFace::Advance(unsigned char character) {
    if (!advanceKnown[character]) {
        int advance = 0;
        if (LoadGlyph(character)) {
            FT_Face ftFace = static_cast<FT_Face>(face);
            // A hinted glyph's advance is a whole number of pixels.
            advance = static_cast<int>(ftFace->glyph->advance.x >> 6);
        }
        advances[character] = advance;
        advanceKnown[character] = true;
    }
    return advances[character];
}

bool FontFace::Render(unsigned char character, GlyphImage* image) {
    *image = GlyphImage();
    if (!LoadGlyph(character)) {
        return false;
    }
    FT_GlyphSlot slot = static_cast<FT_Face>(face)->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
        return false;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    image->left = slot->bitmap_left;
    image->top = ascent - slot->bitmap_top;
    image->width = static_cast<int>(bitmap.width);
    image->height = static_cast<int>(bitmap.rows);
    image->coverage.assign(static_cast<size_t>(image->width) * image->height, 0);
    int pitch = std::abs(bitmap.pitch);
    for (int row = 0; row < image->height; ++row) {
        // A negative pitch means the rows are stored bottom-up.
        int sourceRow = bitmap.pitch >= 0 ? row : image->height - 1 - row;
        const unsigned char* source = bitmap.buffer + static_cast<size_t>(sourceRow) * pitch;
        uint8_t* target = image->coverage.data() + static_cast<size_t>(row) * image->width;
        for (int column = 0; column < image->width; ++column) {
            // Outlines render to 256 grey levels; a face's embedded bitmaps may be one bit a pixel.
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                target[column] = (source[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
            } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.num_grays == 256) {
                target[column] = source[column];
            } else {
                return false;
            }
        }
    }
    return true;
}

} // namespace platform::gdi
