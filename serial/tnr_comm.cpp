#include "serial/tnr_comm.h"

TnrComm::TnrComm(QObject* parent) : TnrCustomSerialComm(parent) {}
