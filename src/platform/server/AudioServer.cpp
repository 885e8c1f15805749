// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/AudioServer.h"

#include <utility>

namespace voxlane {

std::string_view errorText(ServerError error) {
    switch (error) {
    case ServerError::none:
        return "no error";
    case ServerError::notRunning:
        return "not running";
    case ServerError::unknownObject:
        return "unknown object";
    case ServerError::unsupported:
        return "unsupported";
    case ServerError::notPermitted:
        return "not permitted";
    case ServerError::badValue:
        return "bad value";
    case ServerError::failed:
        break;
    }
    return "failed";
}

namespace {

ServerHandle made(ServerError status, ServerError* error, auto&& handle) {
    if (error) *error = status;
    if (status != ServerError::none) return {};
    return handle();
}

} // namespace

ServerHandle AudioServer::createTap(const TapDescription& description, ServerError* error) {
    ObjectId tap = noObject;
    return made(makeTap(description, &tap), error,
                [&] { return ServerHandle(*this, ServerHandle::Kind::tap, tap); });
}

ServerHandle AudioServer::createAggregate(const AggregateDescription& description,
                                          ServerError* error) {
    ObjectId device = noObject;
    return made(makeAggregate(description, &device), error,
                [&] { return ServerHandle(*this, ServerHandle::Kind::aggregate, device); });
}

ServerHandle AudioServer::createRender(ObjectId device, RenderBlock block, ServerError* error) {
    RenderId render = 0;
    return made(makeRender(device, std::move(block), &render), error,
                [&] { return ServerHandle(*this, ServerHandle::Kind::render, device, render); });
}

ServerError AudioServer::start(const ServerHandle& render) {
    if (!render || render.kind() != ServerHandle::Kind::render) return ServerError::unknownObject;
    return startRender(render.object(), render.render());
}

ServerError AudioServer::stop(const ServerHandle& render) {
    if (!render || render.kind() != ServerHandle::Kind::render) return ServerError::unknownObject;
    return stopRender(render.object(), render.render());
}

std::optional<std::vector<bool>> AudioServer::inputStreamUsage(const ServerHandle& render) {
    if (!render || render.kind() != ServerHandle::Kind::render) return std::nullopt;
    return renderInputs(render.object(), render.render());
}

ServerError AudioServer::setInputStreamUsage(const ServerHandle& render,
                                             const std::vector<bool>& usage) {
    if (!render || render.kind() != ServerHandle::Kind::render) return ServerError::unknownObject;
    return setRenderInputs(render.object(), render.render(), usage);
}

} // namespace voxlane
