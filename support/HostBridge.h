// Free functions through which the library and the blocks reach the host:
// calling host functions with error trapping, block parameters, root
// diagrams, and host text conversions.
#pragma once

#include <string>

#include "support/HostInterface.h"

// Calls a host function with its errors trapped. On success every non-null
// output becomes the caller's (persistent). On failure throws PMCorvaneError
// with the function's name and the host's message without its header line,
// unless noThrow is set, when it returns quietly. The host error mode is
// restored on every path.
void pmCallCorvane(int nOut, hvArray* out[], int nIn, hvArray* in[], const char* function,
                   bool noThrow = false);

// The host's get_param of an object; the caller owns the result.
hvArray* get_param_byhndl(double handle, const char* param);
hvArray* get_param_byname(const char* object, const char* param);
void set_param(double handle, const char* param, const char* value);
// Handle of the root diagram holding the object, or -1.0.
double pmBDRoot_byhndl(double handle);
double pmBDRoot_byname(const std::string& name);
std::string getFieldAsStringByHandle(double handle, const char* field);

// A character array as a C text from hostCalloc (the caller hostFree's it).
char* pmHvArrayToString(const hvArray* a);
// Appends a character array's characters up to the first NUL.
void pmArrayToString(const hvArray* a, std::string& out);
// A copy from hostCalloc; the memory error when the host has none.
char* pmStrdup(const char* text);
const char* getBlockName(const brBlock* block);
void HvDblInfoLogDump(const hvArray* a, int level);
const char* GetProductName();
// Refills the product-name buffer (done whenever an engine starts its
// calendar).
void pmRefreshProductName();
// The library's version, e.g. "0.1.0".
const char* GetLibraryVersion();
