from typing import Dict, List, Optional, Set, Tuple

from aiohttp import web

from pylentrasdk.viewer.cameras import Hub

PAGE_FOLDER: str
BOUNDARY: str

def allowed_hosts(host: str, port: int) -> Optional[Set[str]]: ...

class Viewer:
    token: bytes
    host: str
    port: int
    hosts: Optional[Set[str]]
    cookie: str
    files: Dict[str, Tuple[bytes, str]]
    hubs: List[Hub]
    app: web.Application
    def __init__(self, token: str, host: str, port: int) -> None: ...
    def bind_port(self, port: int) -> None: ...
