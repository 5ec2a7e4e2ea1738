#include "tests/support/ftp_server.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

// An ephemeral port free right now (vsftpd cannot report one it chose itself).
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

FtpServer::FtpServer(Kind kind, const std::string& scenario, const std::vector<std::string>& options)
    : kind_(kind) {
    root_ = dir_ / "root";
    ::mkdir(root_.c_str(), 0755);
    std::string portFile = dir_ / "port";
    if (kind == Kind::Vsftpd) {
        user_ = "anonymous";
        password_ = "";
        // Run as the launching user, vsftpd does not chroot: its names are the real paths.
        home_ = root_ + "/pub";
        ::mkdir((root_ + "/pub").c_str(), 0777);
        port_ = FreePort();
        std::ofstream conf(dir_ / "vsftpd.conf");
        conf << "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" << port_
             << "\nrun_as_launching_user=YES\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                "anon_root=" << root_
             << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                "anon_other_write_enable=YES\nanon_world_readable_only=NO\nanon_umask=022\npasv_enable=YES\n"
                "port_enable=YES\nconnect_from_port_20=NO\nseccomp_sandbox=NO\nbackground=NO\n"
                "xferlog_enable=NO\nmax_clients=64\nutf8_filesystem=YES\n";
        conf.close();
        pid_ = Spawn({"/usr/sbin/vsftpd", dir_ / "vsftpd.conf"});
    } else {
        user_ = "parvex";
        password_ = "secret";
        home_ = "/";
        std::string script = std::string(PARVEX_SOURCE_DIR) +
                             (kind == Kind::Pyftpdlib ? "/tests/support/pyftpd.py" : "/tests/support/fault_ftpd.py");
        std::vector<std::string> argv = {"/usr/bin/python3", script, "--root", root_, "--user", user_,
                                         "--password", password_, "--port-file", portFile};
        if (kind == Kind::Fault) {
            argv.push_back("--scenario");
            argv.push_back(scenario);
        }
        argv.insert(argv.end(), options.begin(), options.end());
        pid_ = Spawn(argv);
    }
    for (int i = 0; i < 200; ++i) {
        if (kind != Kind::Vsftpd) {
            std::ifstream in(portFile);
            if (in >> port_ && port_ > 0) return;
        } else if (Accepts(port_)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error(std::string("the ") + name() + " test server did not start");
}

FtpServer::~FtpServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Wait(pid_);
    }
}

std::string FtpServer::Local(const std::string& remote) const {
    std::string base = kind_ == Kind::Vsftpd ? root_ + "/pub" : root_;
    return remote.empty() || remote[0] == '/' ? base + remote : base + "/" + remote;
}

const char* FtpServer::name() const {
    switch (kind_) {
    case Kind::Pyftpdlib: return "pyftpdlib";
    case Kind::Vsftpd: return "vsftpd";
    default: return "fault";
    }
}

}  // namespace testsupport
