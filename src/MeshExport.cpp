#include "MeshExport.h"

#include "GlbWriter.h"
#include "ObjWriter.h"
#include "PlyWriter.h"

#include <cerrno>
#include <new>

namespace {

using Writer = void (*)(SafeFile&, const LandView&, const MeshInfo&);

// The writer of the format path's extension names; null for any other.
Writer writerFor(const std::string& path)
{
    switch (meshFormatOf(path)) {
    case MeshFormat::Ply: return writePly;
    case MeshFormat::Obj: return writeObj;
    case MeshFormat::Glb: return writeGlb;
    case MeshFormat::None: break;
    }
    return nullptr;
}

// Writes and commits; the errno of the first failure, or 0.
int writeFile(const SaveTarget& target, const LandView& land, const MeshInfo& info, Writer writer,
              std::string* written)
{
    SafeFile out(target);
    if (out.failed())
        return out.failure;
    try {
        writer(out, land, info);
    } catch (const std::bad_alloc&) {
        out.fail(ENOMEM);
    }
    if (!out.commit())
        return out.failure;
    if (written)
        *written = out.finalPath;
    return 0;
}

} // namespace

bool exportMesh(const SaveTarget& target, const LandView& land, const MeshInfo& info, std::string& error,
                std::string* written)
{
    const std::string name = target.name();
    const Writer writer = writerFor(name);
    if (!writer) {
        error = "unknown file type \"" + name + "\" (use .ply, .obj or .glb)";
        return false;
    }
    int failure = 0;
    try {
        failure = writeFile(target, land, info, writer, written);
    } catch (const std::bad_alloc&) {
        failure = ENOMEM;
    }
    if (failure == ENOMEM) {
        error = "not enough memory to export \"" + name + "\"";
        return false;
    }
    if (failure != 0) {
        error = writeErrorText(name, failure);
        return false;
    }
    return true;
}

bool holdsLines(const std::string& path)
{
    return writerFor(path) == writeGlb;
}

