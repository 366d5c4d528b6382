"""`lxctl view` in a process of its own, for the viewer's tests: its URL and token, plain HTTP
requests to it, and requests to the simulated rig inside it (tests/viewer_host.py)."""
import http.client
import json
import os
import queue
import re
import signal
import subprocess
import sys
import threading
import urllib.parse

HOST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "viewer_host.py")
LINE = re.compile(r"^Viewer at (http://(127\.0\.0\.1|\[::1\]):(\d+)/\?token=([A-Za-z0-9_-]+))$")


class ViewerProcess:
    def __init__(self, *arguments, env=None, browser=False, cwd=None):
        self.process = subprocess.Popen(
            [sys.executable, HOST, "view", "--port", "0"] + ([] if browser else ["--no-browser"])
            + list(arguments),
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            universal_newlines=True, env=env, cwd=cwd)
        self.lines = queue.Queue()
        self.errors = []  # standard error's lines so far
        threading.Thread(target=self._read, daemon=True).start()
        self._errors_read = threading.Thread(target=self._read_errors, daemon=True)
        self._errors_read.start()
        self.first_line = self.next_line(30)
        match = LINE.match(self.first_line or "")
        if not match:
            self.stop()
            raise AssertionError("lxctl view said {!r}; standard error: {}".format(
                self.first_line, self.stderr))
        self.url, self.host = match.group(1), match.group(2)
        self.port, self.token = int(match.group(3)), match.group(4)
        self.origin = "http://{}:{}".format(self.host, self.port)
        self.stderr = None

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def _read_errors(self):
        for line in self.process.stderr:
            self.errors.append(line)

    def next_line(self, timeout=10):
        try:
            return self.lines.get(timeout=timeout)
        except queue.Empty:
            return None

    def sim(self, do, *args, **kwargs):
        """A request to the simulated rig of the viewer's process; its result."""
        self.process.stdin.write(json.dumps({"do": do, "args": args, "kwargs": kwargs}) + "\n")
        self.process.stdin.flush()
        answer = json.loads(self.next_line())
        assert "error" not in answer, answer["error"]
        return answer["result"]

    def request(self, method, path, body=None, headers=None, token=True):
        """(status, headers, body bytes) of a plain HTTP request; the token goes as a Bearer
        header unless `token` is False (or a header of the caller's says otherwise)."""
        sent = {"Host": "{}:{}".format(self.host, self.port)}
        if token:
            sent["Authorization"] = "Bearer " + self.token
        sent.update(headers or {})
        connection = http.client.HTTPConnection(self.host.strip("[]"), self.port, timeout=10)
        try:
            connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
            for name, value in sent.items():
                if value is not None:
                    connection.putheader(name, value)
            data = json.dumps(body).encode() if isinstance(body, dict) else body
            if data is not None:
                connection.putheader("Content-Length", str(len(data)))
            connection.endheaders(data)
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def json(self, path):
        status, _, body = self.request("GET", path)
        assert status == 200, (path, status, body)
        return json.loads(body)

    def with_token(self, path):
        return "{}{}{}token={}".format(self.origin, path, "&" if "?" in path else "?",
                                       urllib.parse.quote(self.token))

    def stop(self, number=signal.SIGINT, timeout=20):
        """Sends the signal; (exit status, the last line: the cameras' state after)."""
        if self.process.poll() is None:
            self.process.send_signal(number)
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        last, line = None, self.next_line(5)
        while line is not None:
            last, line = line, self.next_line(5)
        self._errors_read.join(5)
        self.stderr = "".join(self.errors)
        for pipe in (self.process.stdin, self.process.stdout, self.process.stderr):
            pipe.close()
        return status, json.loads(last) if last else None
