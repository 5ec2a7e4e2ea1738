#include "tests/support/ftp_server.h"

#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#ifndef PARVEX_SOURCE_DIR
#error "PARVEX_SOURCE_DIR must name the source tree"
#endif

namespace testsupport {

namespace {

bool Accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(port);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// Where the unpacked proftpd package lies (its usr/sbin/proftpd and libraries below).
std::string ProftpdRoot() {
    const char* env = std::getenv("PARVEX_PROFTPD_ROOT");
    return env && *env ? env : std::string(PARVEX_SOURCE_DIR) + "/build-proftpd/root";
}

// The library folders of the unpacked package, for LD_LIBRARY_PATH.
std::string ProftpdLibraryPath(const std::string& root) {
    std::string path;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(root + "/usr/lib", ec))
        if (e.is_directory()) path += (path.empty() ? "" : ":") + e.path().string();
    return path;
}

// Writes a standalone proftpd's configuration: `user` (password "secret") in at `home` on 127.0.0.1:`port` with the
// launching user's rights, every command logged to `log`; with `tls`, TLS demanded with the certificate in `dir`.
void WriteProftpdConfig(const std::string& dir, int port, const std::string& user, const std::string& home,
                        const std::string& log, bool tls, const std::string& pkg) {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    {
        // MD5-crypt of "secret"; the file must not be readable by others or proftpd refuses it.
        std::ofstream pw(dir + "/passwd");
        pw << user << ":$1$parvex$XEgbjDCvnatM49kmsRusw/:" << uid << ":" << gid << "::" << home << ":/bin/sh\n";
        std::ofstream gr(dir + "/group");
        gr << user << "::" << gid << ":\n";
    }
    ::chmod((dir + "/passwd").c_str(), 0600);
    ::chmod((dir + "/group").c_str(), 0600);
    std::ofstream conf(dir + "/proftpd.conf");
    conf << "ServerType standalone\nServerName \"parvex test\"\nDefaultServer on\nUseIPv6 off\n"
         << "DefaultAddress 127.0.0.1\nSocketBindTight on\nPort " << port << "\n";
    const passwd* pwent = ::getpwuid(uid);
    const group* grent = ::getgrgid(gid);
    // Sessions stay with the launching user's rights (root or not); the control socket would need root.
    if (pwent && grent) conf << "User " << pwent->pw_name << "\nGroup " << grent->gr_name << "\n";
    if (uid == 0) conf << "RootLogin on\n";
    conf << "<IfModule mod_ctrls.c>\nControlsEngine off\n</IfModule>\n";
    conf << "PidFile " << dir << "/proftpd.pid\nScoreboardFile " << dir << "/proftpd.scoreboard\n"
         << "DelayTable none\nWtmpLog off\nUseReverseDNS off\nRequireValidShell off\nUseFtpUsers off\n"
         << "AuthOrder mod_auth_file.c\nAuthUserFile " << dir << "/passwd\nAuthGroupFile " << dir << "/group\n"
         << "TransferLog none\nSystemLog " << dir << "/system.log\n"
         << "LogFormat commands \"%P %m %J\"\nExtendedLog " << log << " ALL commands\n"
         << "Umask 022\nAllowOverwrite on\nMaxInstances 64\nTimeoutIdle 600\n";
    // mod_tls's default demands that every data connection resume the
    // control connection's session, as vsftpd's require_ssl_reuse does.
    if (tls)
        conf << "ModulePath " << pkg << "/usr/lib/proftpd\nLoadModule mod_tls.c\nTLSEngine on\nTLSRequired on\n"
             << "TLSProtocol TLSv1.2 TLSv1.3\nTLSVerifyClient off\nTLSECCertificateFile " << dir
             << "/server.pem\nTLSECCertificateKeyFile " << dir << "/server.key\nTLSLog " << dir << "/tls.log\n";
}

}  // namespace

// A test authority and a certificate for 127.0.0.1 (and localhost) it signed, written into `dir` (server.pem,
// server.key); returns the authority's certificate file. Throws when openssl fails.
static std::string MakeCertificates(const std::string& dir) {
    std::ofstream(dir + "/ext.cnf") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string cmd =
        "cd '" + dir + "' && openssl req -x509" + key + " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Parvex test CA'" +
        " && openssl req" + key + " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'" +
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2" +
        " -extfile ext.cnf";
    if (std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) != 0) throw std::runtime_error("openssl failed: " + cmd);
    return dir + "/ca.pem";
}

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// An ephemeral port free right now (vsftpd cannot report one it chose itself).
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

FtpServer::Kind FtpServer::Make(Kind kind) {
    switch (kind) {
    case Kind::VsftpdTls: return Kind::Vsftpd;
    case Kind::PyftpdlibTls: return Kind::Pyftpdlib;
    case Kind::ProftpdTls: return Kind::Proftpd;
    case Kind::FaultTls: return Kind::Fault;
    default: return kind;
    }
}

FtpServer::FtpServer(Kind kind, const std::string& scenario, const std::vector<std::string>& options)
    : kind_(kind) {
    root_ = dir_ / "root";
    log_ = dir_ / "commands.log";
    ::mkdir(root_.c_str(), 0755);
    std::string portFile = dir_ / "port";
    const bool tlsKind = Make(kind) != kind;
    if (tlsKind) caFile_ = MakeCertificates(dir_.path());
    if (Make(kind) == Kind::Vsftpd) {
        std::string tls;
        if (tlsKind) {
            tls = "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                  "require_ssl_reuse=YES\nssl_ciphers=HIGH\nrsa_cert_file=" + std::string(dir_ / "server.pem") +
                  "\nrsa_private_key_file=" + std::string(dir_ / "server.key") + "\n";
        }
        user_ = "anonymous";
        password_ = "";
        // Run as the launching user, vsftpd does not chroot: its names are the real paths.
        home_ = root_ + "/pub";
        ::mkdir((root_ + "/pub").c_str(), 0777);
        // The free port is chosen before the server binds it: another test's
        // server may take it meanwhile, and this one then ends at once.
        for (int attempt = 1;; ++attempt) {
            port_ = FreePort();
            std::ofstream conf(dir_ / "vsftpd.conf");
            conf << "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" << port_
                 << "\nrun_as_launching_user=YES\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                    "anon_root=" << root_
                 << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                    "anon_other_write_enable=YES\nanon_world_readable_only=NO\nanon_umask=022\npasv_enable=YES\n"
                    "port_enable=YES\nconnect_from_port_20=NO\nseccomp_sandbox=NO\nbackground=NO\n"
                    "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\nvsftpd_log_file="
                 << log_ << "\nmax_clients=64\nutf8_filesystem=YES\n" << tls;
            for (const auto& line : options) conf << line << "\n";
            conf.close();
            pid_ = Spawn({"/usr/sbin/vsftpd", dir_ / "vsftpd.conf"});
            if (WaitStarted(portFile, attempt == 3)) return;
        }
    } else if (Make(kind) == Kind::Proftpd) {
        const std::string pkg = ProftpdRoot();
        const std::string program = pkg + "/usr/sbin/proftpd";
        const std::string missing = ::access(program.c_str(), X_OK) != 0 ? program
                                    : tlsKind && ::access((pkg + "/usr/lib/proftpd/mod_tls.so").c_str(), R_OK) != 0
                                        ? pkg + "/usr/lib/proftpd/mod_tls.so"
                                        : "";
        if (!missing.empty())
            throw std::runtime_error("the proftpd test server is missing: " + missing +
                                     " (scripts/deps.sh --proftpd unpacks it; or set PARVEX_PROFTPD_ROOT)");
        user_ = "parvex";
        password_ = "secret";
        home_ = root_;
        for (int attempt = 1;; ++attempt) {
            port_ = FreePort();
            WriteProftpdConfig(dir_.path(), port_, user_, home_, log_, tlsKind, pkg);
            // In the foreground it also writes its log to the standard error, which would fill the tests' output.
            pid_ = Spawn({"/bin/sh", "-c", "exec \"$@\" 2>>\"$0\"", dir_ / "stderr.log", "/usr/bin/env",
                          "LD_LIBRARY_PATH=" + ProftpdLibraryPath(pkg), program, "--nodaemon", "--config",
                          dir_ / "proftpd.conf"});
            if (WaitStarted(portFile, attempt == 3)) return;
        }
    } else {
        user_ = "parvex";
        password_ = "secret";
        home_ = "/";
        std::string script = std::string(PARVEX_SOURCE_DIR) + (Make(kind) == Kind::Pyftpdlib
                                                                   ? "/tests/support/pyftpd.py"
                                                                   : "/tests/support/fault_ftpd.py");
        std::vector<std::string> argv = {"/usr/bin/python3", script, "--root", root_, "--user", user_,
                                         "--password", password_, "--port-file", portFile};
        if (tlsKind) argv.insert(argv.end(), {"--tls-cert", dir_ / "server.pem", "--tls-key", dir_ / "server.key"});
        if (Make(kind) == Kind::Fault) {
            argv.push_back("--scenario");
            argv.push_back(scenario);
        } else {
            argv.push_back("--log");
            argv.push_back(log_);
        }
        argv.insert(argv.end(), options.begin(), options.end());
        pid_ = Spawn(argv);
        WaitStarted(portFile, true);
    }
}

bool FtpServer::WaitStarted(const std::string& portFile, bool lastTry) {
    // Up to 30 s: a loaded machine has taken more than 5 s to start one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const bool announces = Make(kind_) == Kind::Pyftpdlib || Make(kind_) == Kind::Fault;
    while (std::chrono::steady_clock::now() < deadline) {
        if (announces) {
            // Written once the server listens: it accepts from then on.
            std::ifstream in(portFile);
            if (in >> port_ && port_ > 0) return true;
            port_ = 0;
        } else if (Accepts(port_)) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (!lastTry) return false;
            throw std::runtime_error(std::string("the ") + name() + " test server ended at its start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error(std::string("the ") + name() + " test server did not start");
}

FtpServer::~FtpServer() {
    if (pid_ <= 0) return;
    // proftpd ends its session processes itself when told to stop; a killed one would leave them.
    if (Make(kind_) == Kind::Proftpd) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        if (WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 5000)) return;
    }
    ::kill(pid_, SIGKILL);
    Wait(pid_);
}

std::string FtpServer::Local(const std::string& remote) const {
    std::string base = Make(kind_) == Kind::Vsftpd ? root_ + "/pub" : root_;
    return remote.empty() || remote[0] == '/' ? base + remote : base + "/" + remote;
}

const char* FtpServer::NameOf(Kind kind) {
    switch (kind) {
    case Kind::Pyftpdlib: return "pyftpdlib";
    case Kind::Vsftpd: return "vsftpd";
    case Kind::VsftpdTls: return "vsftpd_tls";
    case Kind::Proftpd: return "proftpd";
    case Kind::PyftpdlibTls: return "pyftpdlib_tls";
    case Kind::ProftpdTls: return "proftpd_tls";
    case Kind::FaultTls: return "fault_tls";
    default: return "fault";
    }
}

std::vector<std::string> FtpServer::Commands(bool bySession) const {
    std::vector<std::string> out;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) {
        std::string command, session;
        if (Make(kind_) == Kind::Pyftpdlib) {
            // DEBUG:pyftpdlib:127.0.0.1:40312-[parvex] <- STOR ./a
            std::size_t at = line.find("] <- ");
            if (at == std::string::npos) continue;
            command = line.substr(at + 5);
            const std::size_t dash = line.rfind("-[", at);
            const std::size_t port = dash == std::string::npos ? dash : line.rfind(':', dash);
            const std::size_t ip = port == std::string::npos || port == 0 ? port : line.rfind(':', port - 1);
            if (ip != std::string::npos) session = line.substr(ip + 1, dash - ip - 1);
        } else if (Make(kind_) == Kind::Vsftpd) {
            // ... [pid 4711] FTP command: Client "127.0.0.1", "DELE linkdir"
            std::size_t at = line.find("FTP command: Client \"");
            if (at == std::string::npos) continue;
            const std::size_t pid = line.find("[pid ");
            if (pid != std::string::npos && pid < at) session = line.substr(pid + 5, line.find(']', pid) - pid - 5);
            at = line.find("\", \"", at);
            if (at == std::string::npos || line.back() != '"') continue;
            command = line.substr(at + 4, line.size() - at - 5);
        } else if (Make(kind_) == Kind::Proftpd) {
            // 4711 DELE linkdir
            const std::size_t space = line.find(' ');
            session = line.substr(0, space);
            command = space == std::string::npos ? "" : line.substr(space + 1);
        } else {
            command = line;
        }
        while (!command.empty() && (command.back() == ' ' || command.back() == '\r')) command.pop_back();
        out.push_back(bySession ? session + "\t" + command : command);
    }
    return out;
}

std::string FtpServer::Transcript(std::size_t from) const {
    std::string out;
    std::vector<std::string> commands = Commands();
    for (std::size_t i = from; i < commands.size(); ++i) {
        std::string c = commands[i];
        if (c.rfind("PORT ", 0) == 0 && c.find_last_of(',') != std::string::npos) {
            // The last two numbers are the port; the next-to-last comma is where they start.
            std::size_t last = c.find_last_of(',');
            std::size_t before = c.find_last_of(',', last - 1);
            if (before != std::string::npos) c = c.substr(0, before + 1) + "*";
        } else if (c.rfind("EPRT ", 0) == 0 && c.size() > 6) {
            char d = c[5];
            std::size_t end = c.find_last_of(d, c.size() - 2);
            if (end != std::string::npos) c = c.substr(0, end + 1) + "*" + d;
        }
        out += c + "\n";
    }
    return out;
}

}  // namespace testsupport
