// Share links: the program in the page's address, after "#source=", as the base64url form of
// its UTF-8 text. Nothing is sent anywhere: the link is the program.

export const sharePrefix = '#source=';
/// Mail and chat programs may cut or refuse a link longer than this.
export const longLink = 8000;
/// Chromium opens no longer address (2 MiB); Firefox and Safari take less.
export const longestLink = 2 * 1024 * 1024;

export function encodeShare(text) {
    const utf8 = new TextEncoder().encode(text);
    let binary = '';
    for (let i = 0; i < utf8.length; i += 8192) {
        binary += String.fromCharCode(...utf8.subarray(i, i + 8192));
    }
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

/// What an address's hash holds: null when it is no Share link, {text} for the program it
/// carries, or {damaged: true}. Links made here use base64url without padding; standard
/// base64 (with "+", "/" and "="), and a link whose characters were percent-encoded on the
/// way, are read too.
export function readShare(hash) {
    if (!hash.startsWith(sharePrefix)) return null;
    let data = hash.slice(sharePrefix.length);
    try {
        data = decodeURIComponent(data);
    } catch {
        return { damaged: true };
    }
    data = data.replace(/-/g, '+').replace(/_/g, '/').replace(/=+$/, '');
    if (!/^[A-Za-z0-9+/]*$/.test(data) || data.length % 4 === 1) return { damaged: true };
    try {
        const binary = atob(data);
        const bytes = new Uint8Array(binary.length);
        for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
        return { text: new TextDecoder('utf-8', { fatal: true }).decode(bytes) };
    } catch {
        return { damaged: true };
    }
}

/// The link for `text` on the page at `base` (origin and path), with what may keep it from
/// opening: `tooLong` past what browsers open, `long` past what mail and chat keep whole.
export function shareLink(base, text) {
    const url = `${base}${sharePrefix}${encodeShare(text)}`;
    return { url, length: url.length, tooLong: url.length > longestLink, long: url.length > longLink };
}
