#pragma once
// Helpers of the plexan-cli tests: running the tool as a separate process,
// a scratch directory and checksummed snapshots of directory trees, reading
// its tables and STL files back, and the analytic description the sample
// specimen was drawn from.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;
constexpr double pi = 3.141592653589793;
using Point = std::array<double, 3>;

struct Result {
    int status = -1; // exit status, 128 + n when killed by signal n
    std::string out, err;
};

inline std::string readFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// A directory of its own for each test, removed afterwards.
class Scratch {
public:
    Scratch() : m_path(fs::temp_directory_path() / ("plexan-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(s_count++)))
    {
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~Scratch() { fs::remove_all(m_path); }
    std::string path() const { return m_path.string(); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
    static inline int s_count = 0;
};

// Runs a program with arguments, standard output and error captured, in
// directory cwd when given, with extra environment entries NAME=VALUE.
inline Result runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd = "",
                         const std::vector<std::string>& env = {})
{
    Scratch capture;
    const std::string outFile = capture / "out", errFile = capture / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        if (!std::freopen(outFile.c_str(), "w", stdout) || !std::freopen(errFile.c_str(), "w", stderr))
            ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outFile), readFile(errFile)};
}

inline Result run(const std::vector<std::string>& args, const std::string& cwd = "", const std::vector<std::string>& env = {})
{
    return runProgram(PLEXAN_CLI, args, cwd, env);
}

inline std::string sampleDirectory() { return PLEXAN_SAMPLE_DIR; }
inline std::string sampleStack() { return sampleDirectory() + "/sample.sdf"; }

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

// The tables of a text, separated by empty lines; each row split at sep.
inline std::vector<Table> tables(const std::string& text, char sep = '\t')
{
    std::vector<Table> out(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            out.emplace_back();
            continue;
        }
        Row row;
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find(sep, start);
            row.push_back(line.substr(start, end - start));
        }
        out.back().push_back(row);
    }
    return out;
}

// The value of column header in row i (1 the first data row) of a table.
inline double number(const Table& table, std::size_t i, const std::string& header)
{
    for (std::size_t j = 0; j < table.front().size(); ++j)
        if (table.front()[j].rfind(header, 0) == 0)
            return std::stod(table.at(i).at(j));
    ADD_FAILURE() << "no column " << header;
    return 0.0;
}

inline int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The facets of an ASCII STL file, its grammar checked on the way.
struct Facet {
    Point normal;
    std::array<Point, 3> vertices;
};

inline std::vector<Facet> readStl(const std::string& file, std::string* name = nullptr)
{
    std::istringstream in(readFile(file));
    in.imbue(std::locale::classic());
    std::vector<Facet> facets;
    std::string word, solid, end;
    in >> word >> solid;
    EXPECT_EQ(word, "solid");
    while (in >> word && word == "facet") {
        Facet f{};
        std::string n, outer, loop, v[3], endloop, endfacet;
        in >> n >> f.normal[0] >> f.normal[1] >> f.normal[2] >> outer >> loop;
        for (int i = 0; i < 3; ++i)
            in >> v[i] >> f.vertices[i][0] >> f.vertices[i][1] >> f.vertices[i][2];
        in >> endloop >> endfacet;
        EXPECT_EQ(n + outer + loop + v[0] + v[1] + v[2] + endloop + endfacet, "normalouterloopvertexvertexvertexendloopendfacet");
        if (!in)
            break;
        facets.push_back(f);
    }
    in >> end;
    EXPECT_EQ(word + " " + end, "endsolid " + solid);
    if (name)
        *name = solid;
    return facets;
}

// What a directory tree holds: for every entry below the root, its type, its
// permissions and, for files, their length and FNV-1a checksum; for links,
// their target.
struct Entry {
    char type = '?';
    unsigned mode = 0;
    std::uintmax_t size = 0;
    std::uint64_t checksum = 0;
    std::string target;
    bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;

inline std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : bytes)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

inline Snapshot snapshot(const std::string& root)
{
    Snapshot s;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        Entry e;
        const fs::file_status status = item.symlink_status();
        e.mode = static_cast<unsigned>(status.permissions());
        if (fs::is_symlink(status)) {
            e.type = 'l';
            e.target = fs::read_symlink(item.path()).string();
        } else if (fs::is_directory(status)) {
            e.type = 'd';
        } else if (!fs::is_regular_file(status)) {
            e.type = 's'; // a pipe, never opened
        } else {
            e.type = 'f';
            const std::string bytes = readFile(item.path().string());
            e.size = bytes.size();
            e.checksum = fnv1a(bytes);
        }
        s[fs::relative(item.path(), root).string()] = e;
    }
    return s;
}

// The entries that differ between two snapshots, for the failure message.
inline std::string differences(const Snapshot& before, const Snapshot& after)
{
    std::string text;
    for (const auto& [name, entry] : before)
        if (!after.count(name))
            text += "  removed " + name + "\n";
        else if (!(after.at(name) == entry))
            text += "  changed " + name + "\n";
    for (const auto& [name, entry] : after)
        if (!before.count(name))
            text += "  added " + name + "\n";
    return text;
}

// The description the sample specimen was drawn from (data/sample/specimen.txt).
struct Specimen {
    struct Section {
        std::string name;
        double position, shiftX, shiftY, angle;
    };
    double pixel = 0, spacing = 0, orientation = 0, organCentreZ = 0;
    int width = 0, height = 0;
    Point organAxes{}, lumenCentre{}, lumenAxes{};
    std::vector<Section> sections;
    std::vector<Point> nuclei; // p, q, stack position

    static Specimen read(const std::string& file)
    {
        Specimen s;
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            words.imbue(std::locale::classic());
            std::string key;
            words >> key;
            auto three = [&](Point& p) { words >> p[0] >> p[1] >> p[2]; };
            if (key == "image_size")
                words >> s.width >> s.height;
            else if (key == "pixel_size")
                words >> s.pixel;
            else if (key == "slice_spacing")
                words >> s.spacing;
            else if (key == "organ_centre_z")
                words >> s.organCentreZ;
            else if (key == "organ_orientation")
                words >> s.orientation;
            else if (key == "organ_semi_axes")
                three(s.organAxes);
            else if (key == "lumen_centre")
                three(s.lumenCentre);
            else if (key == "lumen_semi_axes")
                three(s.lumenAxes);
            else if (key == "nucleus")
                three(s.nuclei.emplace_back());
            else if (key == "slice") {
                Section& c = s.sections.emplace_back();
                words >> c.name >> c.position >> c.shiftX >> c.shiftY >> c.angle;
            }
        }
        return s;
    }

    // The pixel (x right, y down) where section k shows principal-frame
    // point (p, q).
    std::array<double, 2> pixelOf(std::size_t k, double p, double q) const
    {
        const double o = orientation * pi / 180, a = sections[k].angle * pi / 180;
        const double x = std::cos(o) * p - std::sin(o) * q, y = std::sin(o) * p + std::cos(o) * q;
        const double u = std::cos(a) * x - std::sin(a) * y + sections[k].shiftX * pixel;
        const double v = std::sin(a) * x + std::cos(a) * y - sections[k].shiftY * pixel;
        return {u / pixel + width / 2.0, -v / pixel + height / 2.0};
    }

    // The section of a nucleus.
    std::size_t sectionOf(const Point& nucleus) const { return static_cast<std::size_t>(std::lround(nucleus[2] / spacing)); }

    // The area of the section of an ellipsoid at stack position z.
    static double sectionArea(const Point& axes, double dz)
    {
        const double t = dz / axes[2];
        return std::fabs(t) >= 1 ? 0.0 : pi * axes[0] * axes[1] * (1 - t * t);
    }
};

inline const Specimen& sample()
{
    static const Specimen s = Specimen::read(sampleDirectory() + "/specimen.txt");
    return s;
}

} // namespace clitest
