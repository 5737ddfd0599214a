# TLS in front of a test's plain HTTP server on 127.0.0.1: python3 tls_front.py PORT BACKEND_PORT.
# Ends when the backend is gone, or after two idle minutes should its test have died unannounced.
import os, socket, ssl, sys, threading
port, backend = int(sys.argv[1]), int(sys.argv[2])
certs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "test-certificates", "localhost")
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certs + ".pem", certs + "-key.pem")
listener = socket.create_server(("127.0.0.1", port))
listener.settimeout(120)
def pipe(source, target):
    try:
        while data := source.recv(65536):
            target.sendall(data)
    except OSError:
        pass
    source.close(), target.close()
while True:
    try:
        client, _ = listener.accept()
        plain = socket.create_connection(("127.0.0.1", backend))
    except OSError:  # idle too long, or the backend is gone
        os._exit(0)
    try:
        secure = context.wrap_socket(client, server_side=True)
    except (OSError, ssl.SSLError):
        plain.close()
        continue
    threading.Thread(target=pipe, args=(secure, plain), daemon=True).start()
    threading.Thread(target=pipe, args=(plain, secure), daemon=True).start()
