#ifndef TRESSMOOR_FORMATS_HAIREXPORT_H
#define TRESSMOOR_FORMATS_HAIREXPORT_H

#include <functional>
#include <string>
#include <vector>

#include "formats/HairCodec.h"
#include "formats/HairFile.h"
#include "formats/LengthUnit.h"
#include "formats/OutputBuffer.h"
#include "formats/StrandStream.h"

class NurbsSurface;

// Every way out of Tressmoor for strands: its own hair and any checked HAIR file,
// written as HAIR, OBJ polylines or USD curves.

enum class HairFileFormat { Hair, Obj, Usd };

// ".obj" (any case) means OBJ, ".usda" USD ASCII; anything else is HAIR.
HairFileFormat formatForPath(const std::string& path);

// What Tressmoor knows of the strands of its own files beyond their arrays: the
// recipe, so each strand's cluster record, and, when every root lies on the
// shape, the roots' surface coordinates. Nothing is known of another program's.
struct TressmoorStrands {
    bool known = false;
    HairRecipe recipe = {};
    int growth = 1;  // which growth of a fresh run, as tressmoor-grow's --growth
    std::vector<float> rootSt;  // s, t per strand; empty when unknown
};

// For checked strands that follow the recipe; shapeSurface is the sphere or torus
// the hair grew on, as its builder set it up (see rootSurfaceCoordinates).
TressmoorStrands tressmoorStrandsOf(const HairStrands& strands, const HairRecipe& recipe,
                                    NurbsSurface& shapeSurface);

// The shape the strands grew on, when they are known to be Tressmoor's.
UnderlyingShape knownShape(const TressmoorStrands& own);

class MeshGround;

// How a file is written beyond its strands.
struct ExportSettings {
    bool displayPrimvars = false;          // USD's display colour and opacity
    LengthUnit unit = kDefaultLengthUnit;  // the unit USD states
    const MeshGround* mesh = nullptr;      // the mesh hair grew on, which USD holds too
};

// False with the reason when a HAIR file, whose counts are 32-bit, could not count
// this many strands or points.
bool hairCountsFit(uint64_t strands, uint64_t points, std::string& problem);

// False with the reason when the stream cannot be written in the format: a HAIR
// file, whose counts are 32-bit, could not count its strands or points. Nothing
// need be written to find out.
bool canWrite(const StrandStream& stream, HairFileFormat format, std::string& problem);

// Write a stream of checked strands, and of the children they guide, in the
// format. Without children, with the guides kept and no widths asked for, HAIR
// keeps the header and every array the strands have; otherwise it holds the
// points, the widths when they vary and the guides' transparency and colour,
// and the child options in the information text. OBJ and USD carry the recipe,
// and USD the clusters and roots, when they are known, and the child options.
// USD states the settings' unit; displayPrimvars adds its display colour and
// opacity.
void writeHairFileAs(const StrandStream& stream, const TressmoorStrands& own, HairFileFormat format,
                     const ExportSettings& settings, OutputBuffer& out,
                     const WriteProgress& progress = WriteProgress());

// Write the stream to the file in the format, streamed to a temporary file that
// replaces the file only once it is complete and on disk. written, when given,
// runs once every byte is handed on, before the flush. False with the reason
// (a full disk, memory or a thread that ran out) when the file cannot be
// written; an existing file is then kept.
bool saveHairFileAs(const std::string& path, const StrandStream& stream, const TressmoorStrands& own,
                    HairFileFormat format, const ExportSettings& settings, std::string& problem,
                    const WriteProgress& progress = WriteProgress(),
                    const std::function<void()>& written = nullptr);

// Tressmoor's own hair in the format: the HAIR file of the contents, or what
// converting it would write, with the roots found on shapeSurface.
std::vector<unsigned char> encodeHairFileAs(const HairFileContents& contents,
                                            NurbsSurface& shapeSurface, HairFileFormat format,
                                            const ExportSettings& settings = ExportSettings());

#endif
