#pragma once

// A large generated tree of Workers projects for the discovery benchmarks: 300 projects, each
// with a node_modules of about 2,200 folders and 20,000 files and a .git folder. It is built
// once into /tmp and reused by later runs (a marker file says it is complete). The 20,000
// files of a project are hard links to one file, so the tree costs directory blocks but
// almost no inodes; the walks never read them either way.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bench_tree {

inline constexpr int projectCount = 300;
inline constexpr int packagesPerProject = 200; // folders directly in node_modules
inline constexpr int foldersPerPackage = 10;   // 200 * (1 + 10) = 2,200 folders
inline constexpr int filesPerPackage = 100;    // 200 * 100 = 20,000 files
inline const std::string root = "/tmp/tallowmere-bench-tree";

inline void makeDir(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

inline void writeFile(const std::string& path, const std::string& content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != ssize_t(content.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    ::close(fd);
}

inline void link(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        std::perror(to.c_str());
        std::exit(1);
    }
}

// The folder of project `i`: ten teams of thirty projects, every tenth project a worker
// inside a monorepo package (deeper, with the lockfile at the workspace root).
inline std::string projectFolder(int i)
{
    const std::string team = root + "/team-" + std::to_string(i % 10);
    if (i % 10 == 9)
        return team + "/mono-" + std::to_string(i) + "/packages/api/worker";
    return team + "/project-" + std::to_string(i);
}

inline void makePath(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        makeDir(path.substr(0, slash));
    makeDir(path);
}

inline void buildProject(int i)
{
    const std::string folder = projectFolder(i);
    makePath(folder);
    const std::string name = "worker-" + std::to_string(i);
    if (i % 3 == 0)
        writeFile(folder + "/wrangler.toml",
                  "name = \"" + name +
                      "\"\nmain = \"src/index.ts\"\ncompatibility_date = "
                      "\"2025-01-01\"\n[[kv_namespaces]]\nbinding = \"CACHE\"\nid = \"abc\"\n"
                      "[[d1_databases]]\nbinding = \"DB\"\ndatabase_name = \"main\"\n"
                      "[vars]\nA = \"1\"\nB = \"2\"\n");
    else
        writeFile(folder + "/wrangler.jsonc",
                  "{\n  // generated\n  \"name\": \"" + name +
                      "\",\n  \"main\": \"src/index.ts\",\n  \"compatibility_date\": "
                      "\"2025-01-01\",\n  \"r2_buckets\": [{\"binding\": \"FILES\", "
                      "\"bucket_name\": \"files\"},],\n  \"vars\": {\"A\": \"1\"},\n}\n");
    if (i % 10 == 9) {
        // Monorepo: the package has the scripts, the workspace root the lockfile.
        const std::string package = folder.substr(0, folder.rfind('/'));
        const std::string workspace = package.substr(0, package.rfind("/packages"));
        writeFile(package + "/package.json", "{\"scripts\": {\"dev\": \"vite dev\"}}");
        writeFile(package + "/vite.config.ts",
                  "import { cloudflare } from '@cloudflare/vite-plugin'\n");
        writeFile(workspace + "/package.json", "{\"private\": true}");
        writeFile(workspace + "/pnpm-lock.yaml", "lockfileVersion: '9.0'\n");
    } else {
        writeFile(folder + "/package.json", "{\"name\": \"" + name +
                                                "\", \"scripts\": {\"dev\": \"wrangler dev\"}, "
                                                "\"devDependencies\": {\"wrangler\": \"^4\"}}");
        writeFile(folder + "/package-lock.json", "{}");
        if (i % 4 == 0)
            writeFile(folder + "/astro.config.mjs", "export default {}\n");
    }
    for (const char* sub : {"/src", "/src/routes", "/src/lib", "/public", "/test"}) {
        makeDir(folder + sub);
        writeFile(folder + sub + "/index.ts", "export {};\n");
    }

    makeDir(folder + "/.git");
    for (int o = 0; o < 32; ++o) {
        const std::string objects = folder + "/.git/objects-" + std::to_string(o);
        makeDir(objects);
        writeFile(objects + "/pack", "x");
    }

    const std::string modules = folder + "/node_modules";
    makeDir(modules);
    const std::string source = modules + "/.source";
    writeFile(source, "module.exports = {};\n");
    for (int p = 0; p < packagesPerProject; ++p) {
        const std::string package =
            modules + (p == 0 ? std::string("/wrangler") : "/pkg-" + std::to_string(p));
        makeDir(package);
        for (int f = 0; f < foldersPerPackage; ++f)
            makeDir(package + "/dir-" + std::to_string(f));
        for (int f = 0; f < filesPerPackage; ++f)
            link(source, package + "/dir-" + std::to_string(f % foldersPerPackage) + "/file-" +
                             std::to_string(f) + ".js");
    }
    writeFile(modules + "/wrangler/package.json",
              "{\"name\": \"wrangler\", \"version\": \"4.86.0\"}");
    // A configuration inside node_modules must never be found.
    writeFile(modules + "/pkg-1/wrangler.toml", "name = \"hidden\"\n");
}

// Builds the tree unless a complete one is already there. Returns its root.
inline const std::string& ensure()
{
    const std::string marker = root + "/.complete-v1";
    if (::access(marker.c_str(), F_OK) == 0)
        return root;
    std::fprintf(stderr, "building %s (once; about a minute)...\n", root.c_str());
    makeDir(root);
    for (int i = 0; i < projectCount; ++i)
        buildProject(i);
    writeFile(marker, "");
    return root;
}

inline std::vector<std::string> projectFolders()
{
    std::vector<std::string> folders;
    for (int i = 0; i < projectCount; ++i)
        folders.push_back(projectFolder(i));
    return folders;
}

} // namespace bench_tree
