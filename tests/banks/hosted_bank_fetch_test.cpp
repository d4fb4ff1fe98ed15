// The hosted fetch against a real HTTPS server on 127.0.0.1 (python3's http.server wrapped in
// TLS) with a throwaway certificate that only these tests trust.
#include "banks/hosted_bank.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "banks/bank_files.h"
#include "banks/runtime_bank_loader.h"
#include "banks/sha256.h"
#include "support/banks/temp_folder.h"
#include "support/banks/wav_builder.h"

namespace norvo {
namespace {

namespace fs = std::filesystem;
const std::string kScripts = NORVO_BANKS_TEST_SCRIPTS;
const std::string kEllipsis = "\xE2\x80\xA6";

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string fileSha(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(readWholeFile(path, bytes)) << path;
  return sha256Hex(bytes);
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t lineCount(const std::string& path) {
  std::ifstream in(path);
  return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
}

// Everything the server offers, generated once per test process, and the server itself.
class HostedBankServer {
 public:
  test::TempFolder files;
  std::string cert;
  std::string requestLog;
  int port = 0;
  bool ready = false;

  HostedBankServer() {
    cert = files / "cert.pem";
    requestLog = files / "requests.log";
    writeBank(files / "src/MyBank");
    files.write("src/loose.txt", std::string("not a bank"));
    files.write("src/.hidden/thing.txt", std::string("hidden"));
    files.write("two/one/a.txt", std::string("1"));
    files.write("two/two/b.txt", std::string("2"));
    files.write("www/notzip.bin", std::string("<html>this is not an archive</html>"));
    files.write("www/empty.bin", std::string());
    const std::string outsideFile = files / "abs-evil.txt";
    const bool made =
        run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-subj /CN=127.0.0.1"
            " -addext subjectAltName=IP:127.0.0.1 -keyout " +
            (files / "key.pem") + " -out " + cert) == 0 &&
        // The ordinary archive comes from the zip tool itself; the odd ones from the script.
        run("cd " + (files / "src") + " && zip -qry " + (files / "www/good.zip") + " .") == 0 &&
        zip({{"flat.zip", {"tree=" + (files / "src/MyBank") + "="}},
             {"two.zip", {"tree=" + (files / "two") + "="}},
             {"unicode.zip", {"tree=" + (files / "src/MyBank") + "=Fl\xC3\xBCgel/"}},
             {"inside-link.zip",
              {"tree=" + (files / "src/MyBank") + "=", "link=alias.json=bank.json"}},
             {"slip.zip", {"file=ok.txt=fine", "file=../evil.txt=escaped"}},
             {"deep-slip.zip", {"file=a/b/../../../evil.txt=escaped"}},
             {"absolute.zip", {"file=" + outsideFile + "=escaped"}},
             {"link-out.zip", {"link=escape=../../evil"}},
             {"link-absolute.zip", {"link=escape=/tmp"}},
             {"link-chain.zip",
              {"file=deep/a/b/c/keep.txt=x", "link=deep/a/b/up=../..",
               "link=deep/a/b/c/w=../up/../../.."}},
             {"link-beside-bank.zip",
              {"file=loose.txt=x", "tree=" + (files / "src/MyBank") + "=bank/",
               "link=bank/alias.txt=../loose.txt"}},
             {"link-dangling.zip",
              {"tree=" + (files / "src/MyBank") + "=", "link=gone=missing.txt"}},
             {"link-through.zip",
              {"file=real/keep.txt=x", "link=via=real", "file=via/evil.txt=escaped"}}});
    ready = made && start();
  }

  ~HostedBankServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  std::string url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port) + "/" + path;
  }
  std::string pin(const std::string& name) const { return fileSha(files / ("www/" + name)); }

 private:
  pid_t pid_ = -1;

  static void writeBank(const std::string& folder) {
    const auto wav = test::wav16(1, 48000, {100, 200, 300});
    fs::create_directories(folder + "/samples");
    std::ofstream(folder + "/samples/a.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    std::ofstream(folder + "/bank.json")
        << R"({"format":"norvo-sound-pack/v1","id":"hosted","assetTable":[{"id":"a","path":"samples/a.wav","sha256":")"
        << sha256Hex(wav) << R"("}],"instruments":[{"id":"keys","document":"keys.json"}]})";
    std::ofstream(folder + "/keys.json")
        << R"({"format":"norvo-sampler-instrument/v1","zones":[{"assetId":"a"}]})";
  }

  // Writes every archive into the served folder with one run of the zip script.
  bool zip(const std::vector<std::pair<std::string, std::vector<std::string>>>& archives) {
    std::string command = "python3 " + kScripts + "/make_zip.py";
    for (const auto& [name, items] : archives) {
      command += " --out " + (files / ("www/" + name));
      for (const std::string& item : items) command += " '" + item + "'";
    }
    return run(command) == 0;
  }

  bool start() {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return false;
    const std::string script = kScripts + "/https_test_server.py";
    const std::string root = files / "www";
    const std::string key = files / "key.pem";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test process
      ::dup2(pipeFds[1], STDOUT_FILENO);
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
      ::execlp("python3", "python3", script.c_str(), root.c_str(), cert.c_str(), key.c_str(),
               requestLog.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid_ < 0) {
      ::close(pipeFds[0]);
      return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(::fdopen(pipeFds[0], "r"), &std::fclose);
    return out && std::fscanf(out.get(), "%d", &port) == 1 && port > 0;
  }
};

HostedBankServer* server = nullptr;

class HostedBankFetch : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    ::setenv("no_proxy", "127.0.0.1", 1);
    server = new HostedBankServer();
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

 protected:
  test::TempFolder cache;
  std::string root;
  HostedBankFetchOptions options;
  std::string folder;
  std::string error;

  void SetUp() override {
    ASSERT_TRUE(server->ready) << "the test server did not start";
    root = cache / "data/Norvo/banks";
    options.cacheRoot = root;
    options.caBundlePath = server->cert;
  }

  bool fetch(const std::string& url, const std::string& pin) {
    return fetchHostedBank(url, pin, folder, error, options);
  }

  // A failed fetch leaves the cache as it was: here, empty.
  void expectFailure(const std::string& url, const std::string& pin, const std::string& expected) {
    folder = "stale";
    EXPECT_FALSE(fetch(url, pin)) << url;
    EXPECT_EQ(error, expected) << url;
    EXPECT_EQ(folder, "") << url;
    EXPECT_EQ(entriesOf(root), std::vector<std::string>{}) << url;
  }

  std::string mismatch(const std::string& servedName) const {
    return "downloaded bytes hash to " + server->pin(servedName).substr(0, 16) + kEllipsis +
           " which does not match the pinned sha256";
  }
};

TEST_F(HostedBankFetch, PinMustHaveSixtyFourCharactersBeforeAnythingIsTouched) {
  const std::size_t requests = lineCount(server->requestLog);
  const std::string cases[] = {std::string(63, 'a'), std::string(65, 'a'), std::string(),
                               std::string(31, 'a') + "/" + std::string(32, 'a')};
  for (const std::string& pin : cases) {
    folder = "stale";
    EXPECT_FALSE(fetch(server->url("good.zip"), pin));
    EXPECT_EQ(error, "a hosted bank must pin a 64-hex sha256");
    EXPECT_EQ(folder, "");
  }
  EXPECT_FALSE(fs::exists(cache / "data"));
  EXPECT_EQ(lineCount(server->requestLog), requests);
}

TEST_F(HostedBankFetch, DownloadsUnpacksAndCachesTheOnlyFolder) {
  const std::string pin = server->pin("good.zip");
  ASSERT_TRUE(fetch(server->url("good.zip"), pin)) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(folder, root + "/" + pin);
  EXPECT_EQ(entriesOf(root), std::vector<std::string>{pin});  // no staging folder, no archive
  EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"bank.json", "keys.json", "samples"}));
  const RuntimeBankLoad load = loadRuntimeBank(folder, 0, "");
  EXPECT_EQ(load.outcome, RuntimeBankOutcome::Ok) << load.error;
  EXPECT_EQ(load.bank.id, "hosted");

  // Found in the cache from now on, without the network and without looking at the URL.
  const std::size_t requests = lineCount(server->requestLog);
  std::string again;
  EXPECT_TRUE(fetchHostedBank("http://example.invalid/x", pin, again, error, options)) << error;
  EXPECT_EQ(again, folder);
  EXPECT_EQ(lineCount(server->requestLog), requests);
}

TEST_F(HostedBankFetch, FolderChoiceAfterUnpacking) {
  std::string pin = server->pin("flat.zip");
  ASSERT_TRUE(fetch("HTTPS://127.0.0.1:" + std::to_string(server->port) + "/flat.zip", pin))
      << error;
  EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"bank.json", "keys.json", "samples"}));

  pin = server->pin("two.zip");
  ASSERT_TRUE(fetch(server->url("two.zip"), pin)) << error;
  EXPECT_EQ(entriesOf(folder), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(loadRuntimeBank(folder, 0, "").outcome, RuntimeBankOutcome::BankMissing);

  pin = server->pin("unicode.zip");  // UTF-8 names unpack as they are, whatever the locale
  ASSERT_TRUE(fetch(server->url("unicode.zip"), pin)) << error;
  EXPECT_EQ(loadRuntimeBank(folder, 0, "").outcome, RuntimeBankOutcome::Ok);

  pin = server->pin("inside-link.zip");
  ASSERT_TRUE(fetch(server->url("inside-link.zip"), pin)) << error;
  EXPECT_TRUE(fs::is_symlink(folder + "/alias.json"));
  EXPECT_EQ(fileSha(folder + "/alias.json"), fileSha(folder + "/bank.json"));
  EXPECT_EQ(entriesOf(root).size(), 4u);
}

TEST_F(HostedBankFetch, CachedFolderIsReturnedWithoutAnyCheck) {
  const std::string pin = std::string(64, 'A');
  fs::create_directories(root + "/" + pin);
  ASSERT_TRUE(fetch("not even a url", pin)) << error;
  EXPECT_EQ(folder, root + "/" + pin);
  EXPECT_EQ(error, "");
}

TEST_F(HostedBankFetch, LeftoverFileAtTheCachedPathIsReplaced) {
  const std::string pin = server->pin("flat.zip");
  cache.write("data/Norvo/banks/" + pin, std::string("leftover"));
  ASSERT_TRUE(fetch(server->url("flat.zip"), pin)) << error;
  EXPECT_TRUE(fs::is_regular_file(folder + "/bank.json"));
}

TEST_F(HostedBankFetch, FollowsRedirectsOverHttpsOnly) {
  const std::string pin = server->pin("good.zip");
  folder = "stale";
  EXPECT_FALSE(fetch(server->url("redirect-to-http"), pin));
  EXPECT_FALSE(error.empty());
  EXPECT_NE(error.rfind("HTTP ", 0), 0u) << error;  // a transport refusal, not the 302 itself
  EXPECT_EQ(folder, "");
  EXPECT_EQ(entriesOf(root), std::vector<std::string>{});
  ASSERT_TRUE(fetch(server->url("redirect-to-good"), pin)) << error;
  EXPECT_EQ(folder, root + "/" + pin);
}

TEST_F(HostedBankFetch, UrlMustBeHttps) {
  const std::string pin = server->pin("good.zip");
  const std::string port = std::to_string(server->port);
  const std::size_t requests = lineCount(server->requestLog);
  expectFailure("http://127.0.0.1:" + port + "/good.zip", pin,
                "hosted banks must be served over https");
  expectFailure("ftp://127.0.0.1/good.zip", pin, "hosted banks must be served over https");
  expectFailure("good.zip", pin, "hosted banks must be served over https");
  expectFailure("https://127.0.0.1:" + port + "/a b.zip", pin,
                "hosted bank url is not a valid URL");
  expectFailure("https://127.0.0.1/%zz", pin, "hosted bank url is not a valid URL");
  expectFailure("", pin, "hosted bank url is not a valid URL");
  EXPECT_EQ(lineCount(server->requestLog), requests);
}

TEST_F(HostedBankFetch, DownloadFailures) {
  expectFailure(server->url("good.zip"), server->pin("flat.zip"), mismatch("good.zip"));
  std::string upper = server->pin("good.zip");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  expectFailure(server->url("good.zip"), upper, mismatch("good.zip"));
  expectFailure(server->url("missing.zip"), server->pin("good.zip"), "HTTP 404");
  expectFailure(server->url("empty.bin"), server->pin("empty.bin"), "download failed");
  expectFailure(server->url("notzip.bin"), server->pin("notzip.bin"),
                "the downloaded archive is not a readable zip");
}

TEST_F(HostedBankFetch, VerifiesTheServerCertificate) {
  options.caBundlePath.clear();  // the system's authorities do not know the throwaway certificate
  ::unsetenv("SSL_CERT_FILE");
  ::unsetenv("SSL_CERT_DIR");
  folder = "stale";
  EXPECT_FALSE(fetch(server->url("good.zip"), server->pin("good.zip")));
  EXPECT_FALSE(error.empty());
  EXPECT_NE(error.rfind("HTTP ", 0), 0u) << error;
  EXPECT_EQ(folder, "");
  EXPECT_EQ(entriesOf(root), std::vector<std::string>{});

  // The user's OpenSSL trust override is honoured like any OpenSSL program's.
  ::setenv("SSL_CERT_FILE", server->cert.c_str(), 1);
  EXPECT_TRUE(fetch(server->url("good.zip"), server->pin("good.zip"))) << error;
  ::unsetenv("SSL_CERT_FILE");
}

TEST_F(HostedBankFetch, TransportErrorsAreReported) {
  // Port 1 on the loopback interface: nobody listens there, the connection is refused.
  folder = "stale";
  EXPECT_FALSE(fetch("https://127.0.0.1:1/good.zip", server->pin("good.zip")));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(folder, "");
}

TEST_F(HostedBankFetch, UnsafeArchivesAreRefusedAndLeaveNothingBehind) {
  for (const char* name :
       {"slip.zip", "deep-slip.zip", "absolute.zip", "link-out.zip", "link-absolute.zip",
        "link-through.zip", "link-chain.zip", "link-beside-bank.zip", "link-dangling.zip"}) {
    expectFailure(server->url(name), server->pin(name),
                  "the downloaded archive is not a readable zip");
    EXPECT_EQ(entriesOf(cache / "data/Norvo"), std::vector<std::string>{"banks"}) << name;
    EXPECT_FALSE(fs::exists(server->files / "abs-evil.txt")) << name;
  }
}

TEST(HostedBankCacheRoot, PerUserDataDirectory) {
  test::TempFolder home;
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string keepXdg = savedXdg ? savedXdg : "";
  const std::string keepHome = savedHome ? savedHome : "";

  ::setenv("XDG_DATA_HOME", (home / "xdg").c_str(), 1);
  EXPECT_EQ(hostedBankCacheRoot(), home / "xdg/Norvo/banks");
  EXPECT_TRUE(fs::is_directory(home / "xdg/Norvo/banks"));

  ::setenv("XDG_DATA_HOME", (home / "xdg//").c_str(), 1);  // trailing separators add no empty step
  EXPECT_EQ(hostedBankCacheRoot(), home / "xdg/Norvo/banks");
  ::setenv("HOME", (home.path() + "/").c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(hostedBankCacheRoot(), home / ".local/share/Norvo/banks");

  ::setenv("HOME", home.path().c_str(), 1);
  ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
  EXPECT_EQ(hostedBankCacheRoot(), home / ".local/share/Norvo/banks");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(hostedBankCacheRoot(), home / ".local/share/Norvo/banks");
  EXPECT_TRUE(fs::is_directory(home / ".local/share/Norvo/banks"));

  home.write("blocked/Norvo", std::string("a file where a folder belongs"));
  ::setenv("XDG_DATA_HOME", (home / "blocked").c_str(), 1);
  EXPECT_EQ(hostedBankCacheRoot(), "");
  std::string folder, error;
  EXPECT_FALSE(fetchHostedBank("https://127.0.0.1/x", std::string(64, 'a'), folder, error));
  EXPECT_EQ(error, "cannot create the bank cache directory");

  if (savedXdg)
    ::setenv("XDG_DATA_HOME", keepXdg.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  ::setenv("HOME", keepHome.c_str(), 1);
}

TEST(PickBankFolder, ThisBuildHasNone) {
  std::string folder = "previous";
  std::string error;
  EXPECT_FALSE(pickBankFolder(folder, error));
  EXPECT_EQ(folder, "");
  EXPECT_EQ(error, "this build has no folder picker");
}

}  // namespace
}  // namespace norvo
