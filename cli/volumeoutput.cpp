#include "cli/volumeoutput.h"

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingdirectory.h"
#include "cli/terminalprogress.h"
#include "image/anyvoxelmatrix.h"
#include "image/imagesourcefile.h"
#include "numerics/exception.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

void declareSliceValues(Arguments& arguments)
{
    arguments.addOption("--window", 2);
    arguments.addFlag("--rescale");
    arguments.addOption("--bits");
}

SliceValues sliceValues(const Arguments& arguments, bool unused, const std::string& what)
{
    SliceValues s;
    const bool window = arguments.has("--window");
    const bool rescale = arguments.has("--rescale");
    if (unused && (window || rescale || arguments.has("--bits")))
        throw ArgumentError("--window, --rescale and --bits are for " + what);
    if (window && rescale)
        throw ArgumentError("--window and --rescale exclude each other");
    if (window) {
        const std::vector<std::string>& w = arguments.values("--window");
        s.low = Arguments::toReal(w[0], "--window");
        s.high = Arguments::toReal(w[1], "--window");
        if (!(s.low < s.high))
            throw ArgumentError("--window LO HI needs LO below HI");
        s.values = StackFromVolume::Values::Window;
    } else if (rescale) {
        s.values = StackFromVolume::Values::Rescale;
    }
    if (arguments.has("--bits")) {
        s.bits = Arguments::toInteger(arguments.value("--bits"), "--bits");
        if (s.bits != 8 && s.bits != 16)
            throw ArgumentError("--bits is 8 or 16");
        if (!window && !rescale)
            throw ArgumentError("--bits goes with --window or --rescale (values kept keep their own bits)");
    }
    return s;
}

int writeNewStack(const AnyVoxelMatrix& volume, const std::string& name, const std::string& directory,
                  const std::string& stackFile, const SliceValues& values, const InputFiles& inputs,
                  CommandContext& context)
{
    StackFromVolume maker;
    maker.setName(name);
    maker.setValues(values.values);
    if (values.values == StackFromVolume::Values::Window)
        maker.setWindow(values.low, values.high);
    maker.setBits(values.bits);
    try {
        maker.sliceBits(volume);
    } catch (const ValueError& e) {
        throw CommandError(e.getWhat() + " (--window LO HI or --rescale)");
    }

    // Nothing is written before every output has been checked.
    const std::string images = directory.empty() ? std::string(".") : directory;
    checkOutputDirectory(images);
    std::error_code error;
    if (fs::is_directory(images, error))
        for (const std::string& file : maker.imageNames(volume))
            checkOutput((fs::path(images) / file).string(), OutputKind::Tiff, inputs);
    const fs::path stackDirectory = fs::path(stackFile).has_parent_path() ? fs::path(stackFile).parent_path()
                                                                           : fs::path(".");
    checkOutputDirectory(stackDirectory.string());
    if (fs::is_directory(stackDirectory, error))
        checkOutput(stackFile, OutputKind::Stack, inputs);
    for (const fs::path& d : {fs::path(images), stackDirectory})
        if (!fs::is_directory(d, error)) {
            fs::create_directories(d, error);
            if (error)
                throw FileWriteError("plexan-cli", "Cannot create directory: " + error.message(), d.string());
        }

    const PendingDirectory pending(images);
    maker.addMonitor(context.progress);
    std::unique_ptr<Stack> stack = maker.apply(volume, pending.getPath());
    maker.removeMonitor(context.progress);
    context.progress.clear();
    for (int i = 0; i < stack->getNumSlices(); ++i) {
        StackSlice& slice = *stack->getSlice(i);
        const auto& source = dynamic_cast<const ImageSourceFile&>(slice.getImageSource());
        const std::string file = pending.commit(fs::path(source.getFilename()).filename().string());
        slice.setImageSource(ImageSourceFile(file));
    }
    writeStack(*stack, stackFile, context);
    return stack->getNumSlices();
}
