#pragma once
// One HTTP request: its head fields plus what the request line and the body need.

#include <string>

#include "http/request_headers.h"

namespace corvasse {

class MemoryStream;

enum class HttpMethod { Head, Get, Post, Options, Trace, Put, Delete, Connect };

class HttpRequest : public RequestHeaders {
public:
    // The text after the method in the request line: path, resource and query.
    std::string RequestTarget;
    HttpMethod RequestMethod = HttpMethod::Get;
    // The body sent with Post and Put; not owned.
    MemoryStream* SourceStream = nullptr;
};

}  // namespace corvasse
