// The Windows packages that `make windows-package` makes from the programs
// under test: the MSI's tables and files, its installation, use, upgrade and
// removal under Wine, a signed build, and the zip unpacked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../cli/subprocess.h"
#include "wine.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using testing::BackgroundZenor9;
using testing::ChildResult;
using testing::RegistryTree;
using testing::RunHost;
using testing::Wine;

const std::string kVersion = ZENOR9_VERSION;
const std::string kInstallDir = R"(C:\Program Files\zenor9-prefix\)";
const std::string kStartMenuName = "ККМ ЗЕНОР-9 Префикс локального ШК";
const std::string kMainWindowTitle = kStartMenuName;
const std::string kLicenceLine = "Copyright (c) 2026 zenor9-prefix developers";
const char* const kUninstallKey = R"(HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall)";
const char* const kInstallerProductsKey = R"(HKLM\Software\Classes\Installer\Products)";
const char* const kSystemEnvironmentKey =
    R"(HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment)";
// msiexec's 1603 (ERROR_INSTALL_FAILURE) in the 8 bits of a Linux exit status.
constexpr int kInstallFailed = 1603 % 256;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

// How a Windows program stores `text` (ASCII) in its resources: UTF-16LE.
std::string Utf16(const std::string& text) {
  std::string wide;
  for (char c : text) wide += {c, '\0'};
  return wide;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The images of an .ico file: each directory entry's bytes.
std::vector<std::string> IconImages(const std::string& ico) {
  const auto number = [&](std::size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(ico[at + i]);
    return value;
  };
  std::vector<std::string> images;
  for (uint32_t entry = 0; ico.size() >= 6 && entry < number(4, 2); ++entry) {
    const std::size_t at = 6 + 16 * entry;
    if (at + 16 > ico.size()) break;
    images.push_back(ico.substr(number(at + 12, 4), number(at + 8, 4)));
  }
  return images;
}

std::string AppIcon() {
  return Contents(fs::path(ZENOR9_SOURCE_DIR) / "resources/windows/app.ico");
}

// The icon a shortcut (.lnk) names: the Windows path, stored in UTF-16, of the
// MSI's icon that Windows Installer keeps for it.
std::string IconLocation(const std::string& link) {
  const std::string name = Utf16("AppIcon.ico");
  const std::size_t end = link.find(name);
  const std::size_t start = link.rfind(Utf16("C:\\"), end);
  if (end == std::string::npos || start == std::string::npos) return {};
  std::string path;
  for (std::size_t at = start; at < end + name.size(); at += 2) path += link[at];
  return path;
}

// A folder for one test, removed after it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "zenor9-installer-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TemporaryFolder() {
    std::error_code error;
    if (!path_.empty()) fs::remove_all(path_, error);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The version after `version`: its last number one higher.
std::string NextVersion(const std::string& version) {
  const std::size_t dot = version.rfind('.');
  return version.substr(0, dot + 1) + std::to_string(std::stoi(version.substr(dot + 1)) + 1);
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(wine.Missing(), "");
    ASSERT_EQ(wine.UnsafePorts(), "");
    ASSERT_TRUE(fs::exists(Msi())) << Msi() << " is missing: run make windows-package";
  }

  static fs::path WindowsBuild() {
    return fs::path(std::getenv("ZENOR9_WINDOWS_EXE")).parent_path().parent_path();
  }
  static fs::path Msi() { return WindowsBuild() / ("zenor9-prefix-" + kVersion + "-x64.msi"); }
  static fs::path Zip() { return WindowsBuild() / ("zenor9-prefix-" + kVersion + "-win64.zip"); }

  // The programs the build made, which the packages must hold: the window
  // program once it is built.
  static std::vector<std::string> Programs() {
    std::vector<std::string> programs{"zenor9.exe"};
    if (fs::exists(WindowsBuild() / "bin/zenor9-prefix.exe"))
      programs.push_back("zenor9-prefix.exe");
    return programs;
  }
  static bool HasWindowProgram() { return Programs().size() > 1; }
  static std::vector<std::string> InstalledFiles() {
    std::vector<std::string> files = Programs();
    files.insert(files.end(), {"README.txt", "LICENSE.txt", "THIRD-PARTY.txt"});
    return files;
  }

  // make windows-package's script, packaging the same build into `out` with
  // `settings` (PACKAGE_VERSION, SIGN_CERT, ...) added to the environment.
  static ChildResult Package(const fs::path& out, const std::vector<std::string>& settings) {
    std::vector<std::string> command{"env"};
    command.insert(command.end(), settings.begin(), settings.end());
    command.insert(command.end(), {std::string(ZENOR9_SOURCE_DIR) + "/scripts/package-windows.sh",
                                   WindowsBuild().string(), out.string()});
    return RunHost(command);
  }

  // A table of the MSI as msiinfo exports it, tab-separated, a row a line.
  static std::string MsiTable(const std::string& table) {
    return testing::WithoutCarriageReturns(
        RunHost({"msiinfo", "export", Msi().string(), table}).out);
  }

  ChildResult Msiexec(const std::string& action, const fs::path& msi) const {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult result = wine.RunWindows({"msiexec", action, msi.string(), "/qn"});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("msiexec %s %s: exit code %d, %.1f s\n", action.c_str(), msi.filename().c_str(),
                result.exitCode, took.count());
    return result;
  }

  // The Add/Remove Programs entries of zenor9-prefix.
  std::vector<std::map<std::string, std::string>> ProductEntries() const {
    std::vector<std::map<std::string, std::string>> entries;
    for (const auto& [key, values] : wine.QueryRegistry(kUninstallKey)) {
      const auto name = values.find("DisplayName");
      if (name != values.end() && name->second == "zenor9-prefix") entries.push_back(values);
    }
    return entries;
  }

  // The icon Add/Remove Programs shows for zenor9-prefix: Windows Installer's
  // copy of the MSI's icon.
  std::string ProductIcon() const {
    for (const auto& [key, values] : wine.QueryRegistry(kInstallerProductsKey)) {
      const auto name = values.find("ProductName");
      const auto icon = values.find("ProductIcon");
      if (name != values.end() && name->second == "zenor9-prefix" && icon != values.end()) {
        return Contents(wine.UnixPath(icon->second));
      }
    }
    return {};
  }

  std::string SystemPath() const {
    const RegistryTree tree = wine.QueryRegistry(kSystemEnvironmentKey);
    for (const auto& [key, values] : tree) {
      for (const auto& [name, value] : values) {
        if (name == "PATH" || name == "Path") return value;
      }
    }
    return {};
  }

  // The Start-menu shortcuts named kStartMenuName: Windows puts a per-machine
  // one in the all-users menu, Wine in the user's.
  std::vector<fs::path> Shortcuts() const {
    std::vector<fs::path> found;
    const fs::path drive = fs::path(wine.Prefix()) / "drive_c";
    std::vector<fs::path> menus{drive / "ProgramData/Microsoft/Windows/Start Menu/Programs"};
    for (const auto& user : fs::directory_iterator(drive / "users")) {
      menus.push_back(user.path() / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs");
    }
    for (const fs::path& menu : menus) {
      if (fs::exists(menu / (kStartMenuName + ".lnk")))
        found.push_back(menu / (kStartMenuName + ".lnk"));
    }
    return found;
  }

  // Where the user's COM map is on Linux, once written.
  fs::path ComMapFile() const {
    for (const auto& user : fs::directory_iterator(fs::path(wine.Prefix()) / "drive_c/users")) {
      const fs::path map = user.path() / "AppData/Roaming/zenor9/ports";
      if (fs::exists(map)) return map;
    }
    return {};
  }

  Wine wine;
};

TEST_F(InstallerTest, TheMsiHoldsTheProgramsStrippedWithTheirResourcesAndTheTablesThatInstallThem) {
  const ChildResult tables = RunHost({"msiinfo", "tables", Msi().string()});
  ASSERT_EQ(tables.exitCode, 0) << tables.err;
  for (const char* table : {"File", "Component", "Directory", "Feature", "Property", "Icon",
                            "Upgrade", "Environment", "Shortcut", "CustomAction"}) {
    EXPECT_NE(tables.out.find(std::string(table) + "\n"), std::string::npos) << table;
  }
  const std::string properties = MsiTable("Property");
  for (const std::string& row : std::vector<std::string>{
           "ALLUSERS\t1", "ARPPRODUCTICON\tAppIcon.ico", "ProductVersion\t" + kVersion,
           "ProductName\tzenor9-prefix", "Manufacturer\tzenor9-prefix developers"}) {
    EXPECT_NE(properties.find(row + "\n"), std::string::npos) << row << "\n" << properties;
  }
  const std::string environment = MsiTable("Environment");
  EXPECT_NE(environment.find("=-*PATH\t[~];[INSTALLDIR]\tCommandLine"), std::string::npos)
      << environment;
  const std::string shortcuts = MsiTable("Shortcut");
  EXPECT_EQ(Count(shortcuts, "\t" + kStartMenuName + "\tWindowProgram\t[#zenor9_prefix.exe]"),
            HasWindowProgram() ? 1u : 0u)
      << shortcuts;

  TemporaryFolder folder;
  const ChildResult extract = RunHost({"msiextract", "-C", folder.Path().string(), Msi().string()});
  ASSERT_EQ(extract.exitCode, 0) << extract.err;
  const fs::path installed = folder.Path() / "zenor9-prefix";
  for (const std::string& file : InstalledFiles()) {
    EXPECT_TRUE(fs::exists(installed / file)) << file << " is not in the MSI:\n" << extract.out;
  }
  for (const std::string& program : Programs()) {
    SCOPED_TRACE(program);
    const fs::path shipped = installed / program;
    const ChildResult sections =
        RunHost({"x86_64-w64-mingw32-objdump", "--section-headers", shipped.string()});
    ASSERT_EQ(sections.exitCode, 0) << sections.err;
    EXPECT_EQ(sections.out.find(".debug_"), std::string::npos) << "not stripped";
    EXPECT_LT(fs::file_size(shipped), fs::file_size(WindowsBuild() / "bin" / program));

    const std::string exe = Contents(shipped);
    for (const std::string& text :
         {kLicenceLine, kVersion, std::string("zenor9-prefix"), std::string("ProductVersion")}) {
      EXPECT_NE(exe.find(Utf16(text)), std::string::npos) << "no " << text << " in its resources";
    }
    const std::vector<std::string> images = IconImages(AppIcon());
    ASSERT_EQ(images.size(), 4u);  // 16, 32, 48 and 256 px
    for (const std::string& image : images) {
      EXPECT_NE(exe.find(image), std::string::npos) << "an image of app.ico is missing";
    }
  }
}

// One machine's story: installed silently, used, upgraded, refused an older
// version, and removed, leaving only what the user wrote.
TEST_F(InstallerTest, InstallUseUpgradeAndRemove) {
  ASSERT_EQ(wine.Run({"ports", "--map", R"(COM9=\\.\COM12)"}).exitCode, 0);
  const fs::path comMap = ComMapFile();
  ASSERT_FALSE(comMap.empty()) << "the COM map was not written";
  const fs::path installDir = wine.UnixPath(kInstallDir);

  ASSERT_EQ(Msiexec("/i", Msi()).exitCode, 0);
  for (const std::string& file : InstalledFiles()) {
    EXPECT_TRUE(fs::exists(installDir / file)) << file;
  }
  const std::vector<fs::path> shortcuts = Shortcuts();
  ASSERT_EQ(shortcuts.size(), HasWindowProgram() ? 1u : 0u);
  if (HasWindowProgram()) {
    const std::string link = Contents(shortcuts.front());
    const std::string target = kInstallDir + "zenor9-prefix.exe";  // as ANSI or UTF-16
    EXPECT_TRUE(link.find(target) != std::string::npos ||
                link.find(Utf16(target)) != std::string::npos)
        << "the shortcut does not lead to " << target;
    const std::string iconPath = IconLocation(link);
    ASSERT_FALSE(iconPath.empty()) << "the shortcut has no icon";
    EXPECT_EQ(Contents(wine.UnixPath(iconPath)), AppIcon()) << iconPath;
  }

  // A new console finds zenor9 through the PATH.
  const ChildResult fromPath = wine.RunWindows({"cmd", "/c", "zenor9 --version"});
  EXPECT_EQ(fromPath.exitCode, 0) << fromPath.err;
  EXPECT_EQ(fromPath.out.rfind("zenor9 " + kVersion + "\n", 0), 0u) << fromPath.out;
  EXPECT_EQ(Count(SystemPath(), kInstallDir), 1u) << SystemPath();

  {
    BackgroundZenor9 sim({"sim", "--net", "7", "--prefix", "23"});
    const std::string device = sim.ReadLine(10'000);
    ASSERT_TRUE(wine.Point(1, device)) << device;
    const ChildResult read =
        wine.RunWindows({kInstallDir + "zenor9.exe", "--port", "COM1", "--net", "7", "read"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "23\n");
  }

  std::vector<std::map<std::string, std::string>> entries = ProductEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["DisplayVersion"], kVersion);
  EXPECT_EQ(entries[0]["Publisher"], "zenor9-prefix developers");
  EXPECT_EQ(entries[0]["HelpLink"], kInstallDir + "README.txt");
  EXPECT_EQ(entries[0]["InstallLocation"], kInstallDir);
  EXPECT_EQ(ProductIcon(), AppIcon());

  if (HasWindowProgram()) {
    const ChildResult window =
        RunHost({std::string(ZENOR9_SOURCE_DIR) + "/tests/windows/shows_window.sh",
                 kInstallDir + "zenor9-prefix.exe", kMainWindowTitle},
                wine.RunEnvironment());
    EXPECT_EQ(window.exitCode, 0) << "the window program showed no main window\n" << window.err;
  }

  // A newer version replaces this one and its entry, as does a rebuild of the
  // same version (another product code); an older one is refused.
  const std::string newerVersion = NextVersion(kVersion);
  TemporaryFolder newer;
  TemporaryFolder rebuilt;
  for (const TemporaryFolder* out : {&newer, &rebuilt}) {
    const ChildResult packaged = Package(out->Path(), {"PACKAGE_VERSION=" + newerVersion});
    ASSERT_EQ(packaged.exitCode, 0) << packaged.err;
  }
  const std::string newerName = "zenor9-prefix-" + newerVersion + "-x64.msi";
  for (const fs::path& msi : {newer.Path() / newerName, rebuilt.Path() / newerName}) {
    SCOPED_TRACE(msi);
    ASSERT_EQ(Msiexec("/i", msi).exitCode, 0);
    entries = ProductEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]["DisplayVersion"], newerVersion);
    EXPECT_NE(Contents(installDir / "README.txt").find("zenor9-prefix " + newerVersion),
              std::string::npos);
    EXPECT_EQ(Count(SystemPath(), kInstallDir), 1u) << SystemPath();
  }

  EXPECT_EQ(Msiexec("/i", Msi()).exitCode, kInstallFailed);
  entries = ProductEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["DisplayVersion"], newerVersion);
  EXPECT_TRUE(fs::exists(installDir / "zenor9.exe"));

  ASSERT_EQ(Msiexec("/x", rebuilt.Path() / newerName).exitCode, 0);
  EXPECT_FALSE(fs::exists(installDir));
  EXPECT_TRUE(Shortcuts().empty());
  EXPECT_TRUE(ProductEntries().empty());
  EXPECT_EQ(SystemPath().find(kInstallDir), std::string::npos) << SystemPath();
  EXPECT_NE(Contents(comMap).find(R"(COM9=\\.\COM12)"), std::string::npos)
      << "the user's COM map went with the program";
  EXPECT_EQ(wine.Run({"ports", "--unmap", "COM9"}).exitCode, 0);
}

TEST_F(InstallerTest, ASignedBuildVerifiesAndItsProgramsStillRun) {
  TemporaryFolder folder;
  const fs::path cert = folder.Path() / "cert.pem";
  const fs::path key = folder.Path() / "key.pem";
  const ChildResult made =
      RunHost({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
               "/CN=zenor9-prefix test signing", "-keyout", key.string(), "-out", cert.string()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const ChildResult packaged =
      Package(folder.Path(), {"SIGN_CERT=" + cert.string(), "SIGN_KEY=" + key.string()});
  ASSERT_EQ(packaged.exitCode, 0) << packaged.err;

  const auto verify = [&](const fs::path& file) {
    return RunHost({"osslsigncode", "verify", "-CAfile", cert.string(), "-in", file.string()});
  };
  const fs::path msi = folder.Path() / Msi().filename();
  const ChildResult signedMsi = verify(msi);
  EXPECT_EQ(signedMsi.exitCode, 0) << signedMsi.out << signedMsi.err;
  EXPECT_NE(verify(Msi()).exitCode, 0) << "the unsigned MSI passed as signed";

  const fs::path unpacked = folder.Path() / "unpacked";
  ASSERT_EQ(
      RunHost({"unzip", "-q", (folder.Path() / Zip().filename()).string(), "-d", unpacked.string()})
          .exitCode,
      0);
  const fs::path programs = unpacked / ("zenor9-prefix-" + kVersion + "-win64");
  for (const std::string& program : Programs()) {
    const ChildResult signedProgram = verify(programs / program);
    EXPECT_EQ(signedProgram.exitCode, 0) << program << "\n" << signedProgram.out;
  }
  const ChildResult version = wine.RunWindows({(programs / "zenor9.exe").string(), "--version"});
  EXPECT_EQ(version.exitCode, 0) << version.err;
}

TEST_F(InstallerTest, TheZipUnpackedRunsAndSaysWhatItIs) {
  TemporaryFolder folder;
  ASSERT_EQ(RunHost({"unzip", "-q", Zip().string(), "-d", folder.Path().string()}).exitCode, 0);
  const fs::path programs = folder.Path() / ("zenor9-prefix-" + kVersion + "-win64");
  for (const std::string& file : InstalledFiles()) {
    EXPECT_TRUE(fs::exists(programs / file)) << file;
  }
  const std::string readme = Contents(programs / "README.txt");
  EXPECT_EQ(readme.rfind("zenor9-prefix " + kVersion + " for Windows", 0), 0u) << readme;
  EXPECT_EQ(Count(readme, "\n"), Count(readme, "\r\n")) << "Notepad wants CR LF";
  EXPECT_NE(Contents(programs / "LICENSE.txt").find(kLicenceLine), std::string::npos);

  const ChildResult version = wine.RunWindows({(programs / "zenor9.exe").string(), "--version"});
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out.rfind("zenor9 " + kVersion + "\n", 0), 0u) << version.out;
}

}  // namespace
}  // namespace zenor9
