# TLS in front of a test's plain HTTP server on 127.0.0.1, so the update client meets real TLS:
# python3 tls_front.py CERT KEY PORT BACKEND_PORT. Ends when the backend is gone, or after two idle
# minutes should its test have died without saying so.
import os, socket, ssl, sys, threading
cert, key, port, backend = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
listener = socket.create_server(("127.0.0.1", port))
listener.settimeout(120)
def pipe(source, target):
    try:
        while data := source.recv(65536):
            target.sendall(data)
    except OSError:
        pass
    for end in (source, target):
        end.close()
while True:
    try:
        client, _ = listener.accept()
    except OSError:
        os._exit(0)
    client.settimeout(None)
    try:
        plain = socket.create_connection(("127.0.0.1", backend))
    except OSError:
        os._exit(0)
    try:
        secure = context.wrap_socket(client, server_side=True)
    except (OSError, ssl.SSLError):
        plain.close()
        continue
    threading.Thread(target=pipe, args=(secure, plain), daemon=True).start()
    threading.Thread(target=pipe, args=(plain, secure), daemon=True).start()
