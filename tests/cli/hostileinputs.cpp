// Careless and hostile inputs for every command, in one table: files that
// are missing, empty, cut short or of another kind, numbers that make no
// sense, outputs that are inputs (by name, symbolic or hard link), outputs of
// another kind (a pipe among them), read-only outputs and directories, paths
// with blanks and accents. Each case gives its exit status and a part of its message; the
// whole scratch tree (every input and every pre-existing output, hidden
// files included) is checksummed before and after: a refused command changes
// nothing and leaves nothing behind, and a successful one only adds its
// outputs.

#include "clitesting.h"
#include "tinystack.h"

#include <cstring>
#include <sys/stat.h>

using namespace clitest;

namespace {

// text with the first occurrence of what replaced.
std::string replaced(std::string text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return text.replace(at, what.size(), with);
}

// The line (1 the first) on which what first appears.
int lineOf(const std::string& text, const std::string& what)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

// An uncompressed NIfTI-1 volume: header size 348, dimensions, the magic
// "n+1" at 344 and the voxels from 352.
std::string niftiBytes()
{
    std::string bytes(352, '\0');
    const std::int32_t headerSize = 348;
    std::memcpy(bytes.data(), &headerSize, 4);
    const std::int16_t dims[4] = {3, 8, 8, 4};
    std::memcpy(bytes.data() + 40, dims, sizeof dims);
    std::memcpy(bytes.data() + 344, "n+1\0", 4);
    return bytes + std::string(8 * 8 * 4, '\x05');
}

struct Case {
    std::vector<std::string> args;
    int status;
    std::string message; // a part of the error stream
    std::vector<std::string> created = {};
};

// The scratch tree every case runs in, made once for all of them.
struct Fixture {
    Scratch scratch;
    std::vector<Case> cases;
    Snapshot original;

    Fixture()
    {
        make();
        original = snapshot(scratch.path());
    }
    ~Fixture()
    {
        // Given back to the scratch directory's cleaning.
        std::error_code error;
        fs::permissions(scratch / "out/rodir", fs::perms::owner_all, error);
    }

    void make()
    {
        auto p = [&](const std::string& name) { return scratch / name; };
        for (const char* d : {"tiny", "tiny/dir.sdf", "vol", "out", "out/stl-exists", "out/stl-tiff", "out/stl-input",
                              "out/vts/imgs", "out/vts/stks", "out/vts2/stks", "out/rodir", "out/ünïcode dir",
                              "dir with space"})
            fs::create_directories(p(d));

        // The stack and its damaged or careless variants, beside its images.
        writeTinyStack(p("tiny"));
        const std::string tiny = tinyText();
        const std::string cutAt = "MODELITEMDATA 4,3 12,4";
        const std::string cut = tiny.substr(0, tiny.find(cutAt) + cutAt.size());
        writeFile(p("tiny/cut.sdf"), cut);
        const std::string negative = replaced(tiny, "PIXWIDTH 0.5", "PIXWIDTH -0.8");
        writeFile(p("tiny/negwidth.sdf"), negative);
        writeFile(p("tiny/nanwidth.sdf"), replaced(tiny, "PIXWIDTH 0.5", "PIXWIDTH nan"));
        const std::string abc = replaced(tiny, "12,3 12,9", "12,3 177,abc");
        writeFile(p("tiny/abc.sdf"), abc);
        writeFile(p("tiny/hugevertex.sdf"), replaced(tiny, "6,6 8,7", "6,6 1e999,107"));
        const std::string duplicate = replaced(tiny, "\"s3\" \"c.tif\"", "\"s2\" \"c.tif\"");
        writeFile(p("tiny/dupslice.sdf"), duplicate);
        writeFile(p("tiny/zerospacing.sdf"), replaced(tiny, "\"b.tif\";\n", "\"b.tif\";\nRELPOSITION 0;\n"));
        const std::string unknown = replaced(tiny, "MODEL \"dots\";", "MODEL \"dots\";\ncolor 1 2 3;");
        writeFile(p("tiny/unknown.sdf"), unknown);
        writeFile(p("tiny/lost.sdf"), replaced(tiny, "c.tif", "nowhere.tif"));
        writeFile(p("tiny/notes.sdf"), "Meeting notes: cut the sections on Monday.\n");
        writeFile(p("tiny/empty.sdf"), "");
        writeFile(p("tiny/noext"), tiny);
        fs::copy_file(p("tiny/a.tif"), p("tiny/slice.sdf"));
        writeFile(p("tiny/brain.sdf"), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + niftiBytes());
        fs::create_symlink(p("tiny/tiny.sdf"), p("tiny/link.sdf"));
        fs::create_hard_link(p("tiny/tiny.sdf"), p("tiny/hard.sdf"));
        writeFile(p("dir with space/données é.sdf"), tinyText("../tiny/"));

        // Volumes, and files that only claim to be volumes.
        writeBall(p("vol/ball.vm"));
        const std::string ball = readFile(p("vol/ball.vm"));
        writeFile(p("vol/nifti.vm"), niftiBytes());
        writeFile(p("vol/brain.nii.gz"), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + niftiBytes());
        writeFile(p("vol/stack.vm"), tiny);
        writeFile(p("vol/cut.vm"), ball.substr(0, ball.size() - 100));
        std::string flipped = ball;
        const float negativeVoxel = -0.5f;
        std::memcpy(flipped.data() + 40, &negativeVoxel, 4);
        writeFile(p("vol/negvoxel.vm"), flipped);
        writeFile(p("vol/empty.vm"), "");
        fs::copy_file(p("vol/ball.vm"), p("tiny/volume.sdf"));

        // Outputs already there: of the kind written, of other kinds, links to
        // inputs, read-only ones.
        writeFile(p("out/prev.stl"), "solid prev\nendsolid prev\n");
        fs::copy_file(p("tiny/a.tif"), p("out/tiff.stl"));
        fs::copy_file(p("tiny/a.tif"), p("out/tiff.sdf"));
        writeFile(p("out/stack.stl"), tiny);
        writeFile(p("out/text.vm"), "not a volume\n");
        fs::copy_file(p("vol/ball.vm"), p("out/ro.vm"));
        writeFile(p("out/ro.sdf"), tinyText("../tiny/"));
        fs::create_symlink(p("tiny/tiny.sdf"), p("out/link.vm"));
        fs::create_symlink(p("vol/ball.vm"), p("out/ball.stl"));
        fs::create_symlink(p("tiny/a.tif"), p("out/image.sdf"));
        fs::create_hard_link(p("tiny/tiny.sdf"), p("out/hard.sdf"));
        fs::create_hard_link(p("tiny/tiny.sdf"), p("out/back.sdf~2"));
        writeFile(p("out/stl-exists/tiny-cells.stl"), "solid old\nendsolid old\n");
        fs::copy_file(p("tiny/a.tif"), p("out/stl-tiff/tiny-cells.stl"));
        fs::create_symlink(p("tiny/tiny.sdf"), p("out/stl-input/tiny-cells.stl"));
        writeFile(p("out/vts/imgs/t_000.tif"), "a text, not an image\n");
        fs::copy_file(p("tiny/a.tif"), p("out/vts2/stks/t.sdf"));
        writeFile(p("out/plain.file"), "not a directory\n");
        ASSERT_EQ(::mkfifo(p("out/pipe.vm").c_str(), 0644), 0);
        fs::permissions(p("out/ro.vm"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(p("out/ro.sdf"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(p("out/rodir"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

        const std::string S = p("tiny/tiny.sdf"), grid = "--grid";
        const std::string stacks = "(the same file)", notReplaced = ": it is not replaced";
        auto at = [&](const std::string& file, const std::string& text, const std::string& what) {
            return file + ":" + std::to_string(lineOf(text, what)) + ": ";
        };
        cases = {
            // info: files that are no stack files, and damaged ones.
            {{"info", p("tiny/none.sdf")}, 1, "none.sdf: Cannot open stack file for reading"},
            {{"info", p("tiny/empty.sdf")}, 1, "empty.sdf: an empty file, not a stack file (.sdf)"},
            {{"info", p("tiny/dir.sdf")}, 1, "dir.sdf: a directory, not a stack file (.sdf)"},
            {{"info", p("tiny/slice.sdf")}, 1, "slice.sdf: a TIFF image, not a stack file (.sdf)"},
            {{"info", p("tiny/volume.sdf")}, 1, "volume.sdf: a voxel matrix, not a stack file (.sdf)"},
            {{"info", p("tiny/brain.sdf")}, 1, "brain.sdf: a gzip-compressed file, not a stack file (.sdf)"},
            {{"info", p("tiny/notes.sdf")}, 1, "notes.sdf: a text that begins with no stack statement"},
            {{"info", p("tiny/noext")}, 1, "noext: a stack file's name ends in .sdf"},
            {{"info", p("tiny/cut.sdf")}, 1,
             at(p("tiny/cut.sdf"), cut, cutAt) + "Error on MODELITEMDATA: the file ends inside this statement"},
            {{"info", p("tiny/cut.sdf"), "--lenient"}, 0, "Error on MODELITEMDATA: the file ends inside this statement"},
            {{"info", p("dir with space/données é.sdf")}, 0, ""},
            // measure: numbers that make no sense, names used twice.
            {{"measure", p("tiny/negwidth.sdf")}, 1,
             at(p("tiny/negwidth.sdf"), negative, "PIXWIDTH") +
                 "Error on PIXWIDTH: the pixel width must be a positive number, not \"-0.8\"."},
            {{"measure", p("tiny/nanwidth.sdf")}, 1, "the pixel width must be a positive number, not \"nan\""},
            {{"measure", p("tiny/abc.sdf")}, 1,
             at(p("tiny/abc.sdf"), abc, "177,abc") + "Error on MODELITEMDATA: \"177,abc\" is not a vertex x,y of two "
                                                      "integers; read as 177,0."},
            {{"measure", p("tiny/hugevertex.sdf")}, 1, "\"1e999,107\" is not a vertex x,y of two integers; read as 1,107"},
            {{"measure", p("tiny/dupslice.sdf")}, 1,
             at(p("tiny/dupslice.sdf"), duplicate, "\"s2\" \"c.tif\"") + "Error on SLICE: a slice named \"s2\" exists"},
            {{"measure", p("tiny/zerospacing.sdf")}, 1, "the slice spacing must be a positive number, not \"0\""},
            {{"measure", p("tiny/unknown.sdf")}, 1,
             "1 error while reading the stack (listed above); --lenient reads on despite them"},
            {{"measure", p("tiny/unknown.sdf"), "--lenient"}, 0,
             at(p("tiny/unknown.sdf"), unknown, "color") + "Error on color: unknown keyword (ignored)."},
            {{"measure", p("tiny/hard.sdf")}, 0, ""},
            // export-stl: directories that cannot be written, files that are
            // inputs or of another kind.
            {{"export-stl", S, p("out/plain.file/sub")}, 1, "plain.file"},
            {{"export-stl", S, p("out/rodir/stl")}, 1, "rodir is read-only"},
            {{"export-stl", S, p("out/stl-exists")}, 1, "tiny-cells.stl : file exists"},
            {{"export-stl", S, p("out/stl-tiff"), "--overwrite"}, 2,
             "is a TIFF image, not an STL surface (.stl)" + notReplaced},
            {{"export-stl", S, p("out/stl-input"), "--overwrite"}, 2, "is the input " + S + " " + stacks},
            // register: outputs that are the input, by name and by link, its
            // images, or the backups it would push along.
            {{"register", S, "-o", S}, 2, "the output " + S + " is the input itself"},
            {{"register", S, "-o", p("out/hard.sdf")}, 2, "is the input " + S + " " + stacks},
            {{"register", p("tiny/link.sdf"), "-o", S}, 2, "is the input " + p("tiny/link.sdf") + " " + stacks},
            {{"register", S, "-o", p("out/image.sdf")}, 2, "is the input " + p("tiny/a.tif") + " " + stacks},
            {{"register", S, "-o", p("out/back.sdf")}, 2, "would push its backup " + p("out/back.sdf~2")},
            {{"register", S, "-o", p("out/notes.txt")}, 2, "-o must end in .sdf, not"},
            {{"register", S, "-o", p("out/tiff.sdf")}, 2, "is a TIFF image, not a stack file (.sdf)" + notReplaced},
            {{"register", S, "-o", p("out/ro.sdf")}, 1, "ro.sdf: read-only, not replaced"},
            {{"register", S, "-o", p("out/rodir/r.sdf")}, 1, "rodir is read-only"},
            {{"register", S, "-o", p("out/missing/r.sdf")}, 1, "Cannot write in the directory"},
            {{"register", p("tiny/lost.sdf"), "--lenient", "-o", p("out/r.sdf")}, 1, "1 slice image could not be read"},
            // stack-to-volume: the output is the input, text or read-only; a
            // stack with a negative pixel width.
            {{"stack-to-volume", S, S}, 2, "OUT must end in .vm"},
            {{"stack-to-volume", S, p("out/volume.txt")}, 2, "OUT must end in .vm"},
            {{"stack-to-volume", S, p("out/link.vm")}, 2, "is the input " + S + " " + stacks},
            {{"stack-to-volume", S, p("out/text.vm")}, 2, "is a text file, not a voxel matrix (.vm)" + notReplaced},
            {{"stack-to-volume", S, p("out/ro.vm")}, 1, "ro.vm: read-only, not replaced"},
            {{"stack-to-volume", S, p("out/pipe.vm")}, 2, "is a device, pipe or socket, not a voxel matrix (.vm)"},
            {{"stack-to-volume", p("tiny/negwidth.sdf"), p("out/n.vm")}, 1, "Error on PIXWIDTH"},
            {{"stack-to-volume", p("tiny/negwidth.sdf"), p("out/lenient.vm"), "--lenient"}, 0, "Error on PIXWIDTH",
             {"out/lenient.vm"}},
            // isosurface: volumes that are not voxel matrices, or damaged.
            {{"isosurface", p("vol/nifti.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "nifti.vm: a NIfTI-1 or Analyze image, not a voxel matrix (.vm)"},
            {{"isosurface", p("vol/brain.nii.gz"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "brain.nii.gz: a gzip-compressed file, not a voxel matrix (.vm)"},
            {{"isosurface", p("vol/stack.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "stack.vm: a text file, not a voxel matrix (.vm)"},
            {{"isosurface", p("vol/cut.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "cut.vm: a damaged voxel matrix (its header does not fit the file's length)"},
            {{"isosurface", p("vol/negvoxel.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "negvoxel.vm: the voxel size 0.5 x -0.5 x 0.5 is not made of positive numbers"},
            {{"isosurface", p("vol/empty.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1,
             "empty.vm: an empty file, not a voxel matrix (.vm)"},
            {{"isosurface", p("vol/none.vm"), "--iso", "1", "-o", p("out/m.stl")}, 1, "Cannot open file for reading"},
            {{"isosurface", p("vol/ball.vm"), "--iso", "1", "-o", p("out/ball.stl")}, 2,
             "is the input " + p("vol/ball.vm") + " " + stacks},
            {{"isosurface", p("vol/ball.vm"), "--iso", "1", "-o", p("out/stack.stl")}, 2,
             "is a text file, not an STL surface (.stl)" + notReplaced},
            {{"isosurface", p("vol/ball.vm"), "--iso", "1", "-o", p("out/tiff.stl")}, 2, "is a TIFF image"},
            {{"isosurface", p("vol/ball.vm"), "--iso", "1", "-o", p("out/ünïcode dir/ball surface.stl")}, 0, "",
             {"out/ünïcode dir/ball surface.stl"}},
            // volume-to-stack: slices or stack files of another kind.
            {{"volume-to-stack", p("vol/ball.vm"), "t", p("out/vts/imgs"), p("out/vts/stks"), "--rescale"}, 2,
             "t_000.tif is a text file, not a TIFF image (.tif)" + notReplaced},
            {{"volume-to-stack", p("vol/ball.vm"), "t", p("out/vts2/imgs"), p("out/vts2/stks"), "--rescale"}, 2,
             "t.sdf is a TIFF image, not a stack file (.sdf)" + notReplaced},
            {{"volume-to-stack", p("vol/ball.vm"), "t", p("out/rodir/imgs"), p("out/rodir/stks"), "--rescale"}, 1, "rodir is read-only"},
            {{"volume-to-stack", p("tiny"), "t", p("out/x"), p("out/y")}, 1, "tiny: a directory, not a voxel matrix (.vm)"},
            {{"volume-to-stack", p("vol/nifti.vm"), "t", p("out/x"), p("out/y")}, 1, "a NIfTI-1 or Analyze image"},
            // density: a rank beyond the points, outputs that are inputs.
            {{"density", S, "--model", "dots", grid, "4", "4", "4", "--k", "500", "-o", p("out/d.vm")}, 2,
             "--k 500 exceeds the 5 points of model \"dots\" in " + S},
            {{"density", S, S, "--model", "dots", grid, "4", "4", "4", "-o", S}, 2, "-o must end in .vm"},
            {{"density", S, "--model", "dots", grid, "4", "4", "4", "-o", p("out/link.vm")}, 2, "is the input"},
            {{"density", p("tiny/cut.sdf"), "--model", "dots", grid, "4", "4", "4", "-o", p("out/d.vm")}, 1,
             "the file ends inside this statement"},
        };
    }
};

class HostileInputs : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { s_fixture = new Fixture(); }
    static void TearDownTestSuite()
    {
        delete s_fixture;
        s_fixture = nullptr;
    }
    static inline Fixture* s_fixture = nullptr;
};

} // namespace

TEST_P(HostileInputs, RefusedWithoutChangingAnything)
{
    const Fixture& f = *s_fixture;
    ASSERT_GE(f.cases.size(), 40u);
    int count = 0;
    for (const Case& c : f.cases) {
        if (c.args[0] != GetParam())
            continue;
        ++count;
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        // Every line of the error stream names the command.
        std::istringstream lines(r.err);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_EQ(line.rfind("plexan-cli " + c.args[0] + ": ", 0), 0u) << line;
        }
        if (c.status != 0 && c.args[0] != "info") {
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
        Snapshot after = snapshot(f.scratch.path());
        for (const std::string& created : c.created) {
            EXPECT_TRUE(after.count(created)) << created;
            EXPECT_EQ(after[created].type, 'f') << created;
            after.erase(created);
            fs::remove(f.scratch / created);
        }
        EXPECT_TRUE(after == f.original) << differences(f.original, after);
    }
    EXPECT_GE(count, 3) << "cases of " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Commands, HostileInputs,
                         ::testing::Values("info", "measure", "export-stl", "register", "stack-to-volume",
                                           "isosurface", "volume-to-stack", "density"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });
