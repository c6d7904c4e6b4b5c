// Windows sockets over POSIX sockets.
#include "platform/posix/Internal.h"

namespace {
thread_local int tlsSocketError = 0;
}

int WINAPI WSAGetLastError() { return tlsSocketError; }

void WINAPI WSASetLastError(int error) { tlsSocketError = error; }
