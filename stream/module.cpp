// The module pylentrasdk.stream: streaming capture beside the binding module, over the public
// SDK API. It uses the binding's camera handle and format record types, so the binding module is
// imported first.
#include <pybind11/pybind11.h>

#include "errors.h"
#include "frame.h"
#include "frame_stream.h"
#include "open_streams.h"

PYBIND11_MODULE(stream, m) {
    m.doc() = "Streaming capture: frames into reused buffers, waits without the interpreter lock";
    py::module_::import("pylentrasdk.pyLentraSDK");
    lentra_stream::init_errors(m);
    lentra_stream::init_frame(m);
    lentra_stream::init_frame_stream(m);
    // Streams are stopped at exit, before the interpreter finalises (see open_streams.h).
    py::module_::import("atexit").attr("register")(
        py::cpp_function(&lentra_stream::stop_streams_at_exit));
}
