// The WebGL 2 side of the GL layer (webgl/backend.h): the context, three
// shader programs, the frame's vertex buffers (one for each layout) and
// index buffer, the frame buffer the intro draws in, and the textures by
// the layer's GL names. WebGL state is cached here so that a draw sets only
// what differs from the draw before it.
//
// The intro draws straight onto the canvas's buffer (24-bit depth), except
// on SwiftShader, Chromium's software renderer: there it draws into a frame
// buffer of ours (RGB8 colour, 24-bit depth), and each frame ends with one
// copy of it onto the canvas. The frame's copy into the reflection texture
// then goes between two buffers of the same format, which SwiftShader does
// as a plain copy; from the canvas's buffer it converts texel by texel, a
// quarter of its work in a frame. Elsewhere the copy onto the canvas is the
// dearer part (Firefox on llvmpipe draws 11 % more frames without it). The
// pictures are the same either way: the same formats and depth precision,
// and no blending reads the destination's alpha.
//
// A lost context is survived: every texture's last definition (its pixels,
// or the size of its last copy from the frame buffer, which comes back
// black until the next copy) and parameters are kept here, and when the
// browser gives the context back the programs, buffers and textures are
// made again from them. While it is lost the layer's calls change only
// that record.

mergeInto(LibraryManager.library, {
  $QuandrixGL: {
    gl: null,
    canvas: null,
    lost: false,
    programs: [],     // by shading: 0 colour, 1 textured, 2 point sprite
    shading: -1,      // the program in use
    records: {},      // GL name -> {image, parameters}, what makes the texture again
    textures: {},     // GL name -> WebGLTexture of the current context
    bound: 0,         // GL name bound to TEXTURE_2D
    blend: '',        // "source,destination" or 'off'
    depth: -1,        // comparison, 0 off
    viewport: null,   // [x, y, width, height] last set
    frame: null,      // {buffer, width, height}: the frame buffer drawn in, null buffer: the canvas's
    buffers: null,    // [plain vertices, full vertices]
    arrays: null,     // vertex arrays by layout: 0 plain, 1 full
    layout: -1,       // the one bound
    colour: null,     // [r, g, b, a]: the plain vertices' colour last set
    indexSize: 4,     // bytes, of the frame's indices
    presenting: false,  // its copy onto the canvas is due

    vertexShader: '#version 300 es\n' +
      'layout(location = 0) in vec4 a_clip;\n' +
      'layout(location = 1) in vec2 a_st;\n' +
      'layout(location = 2) in vec4 a_colour;\n' +
      'layout(location = 3) in float a_pointSize;\n' +
      'out vec2 v_st;\n' +
      'out vec4 v_colour;\n' +
      'invariant gl_Position;\n' +  // passes over the same vertices must meet exactly (depth LEQUAL)
      'void main() {\n' +
      '  gl_Position = a_clip;\n' +
      '  gl_PointSize = a_pointSize;\n' +
      '  v_st = a_st;\n' +
      '  v_colour = a_colour;\n' +
      '}\n',
    // GL_MODULATE: texel times colour; an RGB texture's alpha is 1. One
    // program for each way of shading rather than one that branches on a
    // uniform: software rasterisers run both sides of such a branch for
    // every pixel, texture fetch included.
    fragmentShader: function(colour) {
      return '#version 300 es\n' +
        'precision highp float;\n' +
        'uniform sampler2D u_texture;\n' +
        'in vec2 v_st;\n' +
        'in vec4 v_colour;\n' +
        'out vec4 o_colour;\n' +
        'void main() { o_colour = ' + colour + '; }\n';
    },
    shadings: ['v_colour', 'v_colour * texture(u_texture, v_st)', 'v_colour * texture(u_texture, gl_PointCoord)'],

    compile: function(gl, type, source) {
      var shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      return shader;
    },

    // The programs, the vertex layout and GL's starting state where WebGL's
    // differs, on a new or restored context; false (with the reason on the
    // console) when a program does not build.
    setUp: function(gl) {
      var vertex = QuandrixGL.compile(gl, gl.VERTEX_SHADER, QuandrixGL.vertexShader);
      var programs = QuandrixGL.shadings.map(function(colour) {
        var program = gl.createProgram();
        gl.attachShader(program, vertex);
        gl.attachShader(program, QuandrixGL.compile(gl, gl.FRAGMENT_SHADER, QuandrixGL.fragmentShader(colour)));
        gl.linkProgram(program);
        return program;
      });
      // Linked together, then asked once: the browser may build them in
      // parallel, and no query waits for one before the next is started.
      for (var i = 0; i < programs.length; ++i) {
        if (!gl.getProgramParameter(programs[i], gl.LINK_STATUS)) {
          var shaders = gl.getAttachedShaders(programs[i]) || [];
          var log = shaders.map(function(s) { return gl.getShaderInfoLog(s); }).join(' ');
          console.error('GL layer: program: ' + gl.getProgramInfoLog(programs[i]) + ' ' + log);
          return false;
        }
        gl.useProgram(programs[i]);
        gl.uniform1i(gl.getUniformLocation(programs[i], 'u_texture'), 0);
      }
      QuandrixGL.programs = programs;
      QuandrixGL.shading = programs.length - 1;

      // One vertex array for each layout, sharing the index buffer. A plain
      // vertex's colour is the attribute's current value, set per draw, and
      // its point size 1.
      var indices = gl.createBuffer();
      QuandrixGL.buffers = [gl.createBuffer(), gl.createBuffer()];
      var attributes = [[0, 4, 0], [1, 2, 16], [2, 4, 24], [3, 1, 40]];
      QuandrixGL.arrays = [[24, 2], [44, 4]].map(function(layout, i) {
        var array = gl.createVertexArray();
        gl.bindVertexArray(array);
        gl.bindBuffer(gl.ARRAY_BUFFER, QuandrixGL.buffers[i]);
        gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indices);
        attributes.slice(0, layout[1]).forEach(function(a) {
          gl.enableVertexAttribArray(a[0]);
          gl.vertexAttribPointer(a[0], a[1], gl.FLOAT, false, layout[0], a[2]);
        });
        return array;
      });
      QuandrixGL.layout = 1;
      QuandrixGL.colour = null;
      gl.vertexAttrib1f(3, 1);
      // Each flush fills the plain vertices through ARRAY_BUFFER and the
      // full ones through COPY_WRITE_BUFFER, bound once here.
      gl.bindBuffer(gl.ARRAY_BUFFER, QuandrixGL.buffers[0]);
      gl.bindBuffer(gl.COPY_WRITE_BUFFER, QuandrixGL.buffers[1]);
      // No dithering (llvmpipe dithers nothing either), and the depth test
      // decided per draw.
      gl.disable(gl.DITHER);
      gl.disable(gl.DEPTH_TEST);
      gl.disable(gl.BLEND);
      gl.pixelStorei(gl.PACK_ALIGNMENT, 1);

      QuandrixGL.textures = {};
      QuandrixGL.bound = 0;
      QuandrixGL.blend = 'off';
      QuandrixGL.depth = 0;
      // The canvas keeps the size its window was made with, so the frame
      // buffer is made once, at the drawing buffer's size.
      var width = gl.drawingBufferWidth, height = gl.drawingBufferHeight;
      if (gl.getParameter(gl.DEPTH_BITS) === 24 && !/SwiftShader/i.test(QuandrixGL.renderer(gl))) {
        QuandrixGL.frame = {buffer: null, width: width, height: height};
        return true;
      }
      var buffer = gl.createFramebuffer();
      gl.bindFramebuffer(gl.FRAMEBUFFER, buffer);
      [[gl.RGB8, gl.COLOR_ATTACHMENT0], [gl.DEPTH_COMPONENT24, gl.DEPTH_ATTACHMENT]].forEach(function(a) {
        var storage = gl.createRenderbuffer();
        gl.bindRenderbuffer(gl.RENDERBUFFER, storage);
        gl.renderbufferStorage(gl.RENDERBUFFER, a[0], width, height);
        gl.framebufferRenderbuffer(gl.FRAMEBUFFER, a[1], gl.RENDERBUFFER, storage);
      });
      if (gl.checkFramebufferStatus(gl.FRAMEBUFFER) !== gl.FRAMEBUFFER_COMPLETE) {
        console.error('GL layer: the frame buffer cannot be drawn in');
        return false;
      }
      QuandrixGL.frame = {buffer: buffer, width: width, height: height};
      return true;
    },

    // The renderer's name. Chromium and Safari name only "WebKit WebGL"
    // and give the real one through an extension, which Firefox, naming
    // its renderer directly, warns about.
    renderer: function(gl) {
      var name = gl.getParameter(gl.RENDERER);
      if (name !== 'WebKit WebGL') return String(name);
      var info = gl.getExtension('WEBGL_debug_renderer_info');
      return String(info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : name);
    },

    texture: function(name) {
      var gl = QuandrixGL.gl;
      var texture = QuandrixGL.textures[name];
      if (!texture) texture = QuandrixGL.textures[name] = gl.createTexture();
      if (QuandrixGL.bound !== name) {
        gl.bindTexture(gl.TEXTURE_2D, texture);
        QuandrixGL.bound = name;
      }
      return texture;
    },

    record: function(name) {
      return QuandrixGL.records[name] || (QuandrixGL.records[name] = {image: null, parameters: {}});
    },

    // Defines the bound texture as `image` says: its pixels, or black
    // (WebGL's zeros) without them.
    define: function(image) {
      var gl = QuandrixGL.gl;
      gl.pixelStorei(gl.UNPACK_ALIGNMENT, image.alignment);
      gl.texImage2D(gl.TEXTURE_2D, 0, image.internalFormat, image.width, image.height, 0, image.format,
                    gl.UNSIGNED_BYTE, image.pixels);
    },

    // The draws of the frame so far may still read the buffers when the
    // next flush fills them: each flush gives them new storage with its
    // data (orphaning) instead of writing over the storage in use.
    // (A length of 0 would mean the rest of the module's memory.)
    fill: function(target, pointer, bytes) {
      if (bytes > 0) QuandrixGL.gl.bufferData(target, HEAPU8, QuandrixGL.gl.STREAM_DRAW, pointer, bytes);
    },

    onLost: function(event) {
      event.preventDefault();  // without it the browser never gives the context back
      QuandrixGL.lost = true;
      QuandrixGL.textures = {};
    },

    onRestored: function() {
      var gl = QuandrixGL.gl;
      if (!gl || !QuandrixGL.setUp(gl)) return;
      for (var name in QuandrixGL.records) {
        var record = QuandrixGL.records[name];
        QuandrixGL.texture(Number(name));
        for (var pname in record.parameters) gl.texParameteri(gl.TEXTURE_2D, Number(pname), record.parameters[pname]);
        if (record.image) QuandrixGL.define(record.image);
      }
      var v = QuandrixGL.viewport;
      if (v) gl.viewport(v[0], v[1], v[2], v[3]);
      QuandrixGL.lost = false;
      console.log('GL layer: the context is back');
    },

    // The context, unless it is lost.
    live: function() {
      return QuandrixGL.lost ? null : QuandrixGL.gl;
    },
  },

  quandrix_webgl_create__deps: ['$QuandrixGL'],
  quandrix_webgl_create: function(selector) {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) {
      console.error('GL layer: no canvas ' + UTF8ToString(selector));
      return 0;
    }
    // Opaque, so the page never shows through where the intro clears to
    // alpha 0; no antialiasing, as the native display has none; a depth
    // buffer for drawing straight onto the canvas.
    var gl = canvas.getContext('webgl2', {alpha: false, depth: true, stencil: false, antialias: false,
                                          premultipliedAlpha: false, preserveDrawingBuffer: false});
    if (!gl) {
      console.warn('GL layer: this browser gives no WebGL 2 context');
      return 0;
    }
    if (!QuandrixGL.setUp(gl)) return 0;
    if (self.performance && performance.mark) performance.mark('quandrix-context');
    QuandrixGL.gl = gl;
    QuandrixGL.canvas = canvas;
    QuandrixGL.lost = false;
    QuandrixGL.records = {};
    QuandrixGL.viewport = null;
    canvas.addEventListener('webglcontextlost', QuandrixGL.onLost);
    canvas.addEventListener('webglcontextrestored', QuandrixGL.onRestored);
    return 1;
  },

  quandrix_webgl_destroy__deps: ['$QuandrixGL'],
  quandrix_webgl_destroy: function() {
    var gl = QuandrixGL.gl;
    if (!gl) return;
    // Lost on purpose: not an event to survive.
    QuandrixGL.canvas.removeEventListener('webglcontextlost', QuandrixGL.onLost);
    QuandrixGL.canvas.removeEventListener('webglcontextrestored', QuandrixGL.onRestored);
    if (!QuandrixGL.lost) {
      for (var name in QuandrixGL.textures) gl.deleteTexture(QuandrixGL.textures[name]);
    }
    QuandrixGL.textures = {};
    QuandrixGL.records = {};
    var lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    QuandrixGL.gl = null;
    QuandrixGL.canvas = null;
  },

  quandrix_webgl_max_texture_size__deps: ['$QuandrixGL'],
  quandrix_webgl_max_texture_size: function() {
    var gl = QuandrixGL.live();
    return gl ? gl.getParameter(gl.MAX_TEXTURE_SIZE) : 0;
  },

  quandrix_webgl_max_point_size__deps: ['$QuandrixGL'],
  quandrix_webgl_max_point_size: function() {
    var gl = QuandrixGL.live();
    return gl ? gl.getParameter(gl.ALIASED_POINT_SIZE_RANGE)[1] : 1;
  },

  quandrix_webgl_clear__deps: ['$QuandrixGL'],
  quandrix_webgl_clear: function(mask, red, green, blue, alpha, depth) {
    var gl = QuandrixGL.live();
    if (!gl) return;
    gl.clearColor(red, green, blue, alpha);
    gl.clearDepth(depth);
    gl.clear(mask);  // GL's and WebGL's buffer bits are the same numbers
  },

  quandrix_webgl_viewport__deps: ['$QuandrixGL'],
  quandrix_webgl_viewport: function(x, y, width, height) {
    QuandrixGL.viewport = [x, y, width, height];
    var gl = QuandrixGL.live();
    if (gl) gl.viewport(x, y, width, height);
  },

  quandrix_webgl_delete_texture__deps: ['$QuandrixGL'],
  quandrix_webgl_delete_texture: function(name) {
    delete QuandrixGL.records[name];
    var gl = QuandrixGL.live();
    if (!gl || !QuandrixGL.textures[name]) return;
    gl.deleteTexture(QuandrixGL.textures[name]);
    delete QuandrixGL.textures[name];
    if (QuandrixGL.bound === name) QuandrixGL.bound = 0;
  },

  quandrix_webgl_texture_parameter__deps: ['$QuandrixGL'],
  quandrix_webgl_texture_parameter: function(name, pname, value) {
    QuandrixGL.record(name).parameters[pname] = value;
    var gl = QuandrixGL.live();
    if (!gl) return;
    QuandrixGL.texture(name);
    gl.texParameteri(gl.TEXTURE_2D, pname, value);
  },

  quandrix_webgl_texture_image__deps: ['$QuandrixGL'],
  quandrix_webgl_texture_image: function(name, internalFormat, width, height, format, alignment, pixels, bytes) {
    // A copy of the pixels, as the module's memory is reused.
    var image = {internalFormat: internalFormat, width: width, height: height, format: format,
                 alignment: alignment, pixels: pixels ? HEAPU8.slice(pixels, pixels + bytes) : null};
    QuandrixGL.record(name).image = image;
    if (!QuandrixGL.live()) return;
    QuandrixGL.texture(name);
    QuandrixGL.define(image);
  },

  quandrix_webgl_copy_texture_image__deps: ['$QuandrixGL'],
  quandrix_webgl_copy_texture_image: function(name, internalFormat, x, y, width, height) {
    var gl = QuandrixGL.live();
    if (!gl) return;  // nothing to copy: the texture comes back with its last definition
    var record = QuandrixGL.record(name);
    var w = QuandrixGL.frame.width, h = QuandrixGL.frame.height;
    var copy = [internalFormat, x, y, width, height, w, h].join();
    QuandrixGL.texture(name);
    if (!record.image || record.image.copy !== copy) {
      // Defined as GL's copy defines it, black outside the frame buffer.
      record.image = {internalFormat: internalFormat, format: internalFormat, width: width, height: height,
                      alignment: 1, pixels: null, copy: copy};
      QuandrixGL.define(record.image);
    }
    // Then only the texels inside the frame buffer change, into the same
    // texture every frame rather than a new one.
    var left = Math.max(x, 0), bottom = Math.max(y, 0);
    var right = Math.min(x + width, w), top = Math.min(y + height, h);
    if (right > left && top > bottom) {
      gl.copyTexSubImage2D(gl.TEXTURE_2D, 0, left - x, bottom - y, left, bottom, right - left, top - bottom);
    }
  },

  quandrix_webgl_present__deps: ['$QuandrixGL'],
  quandrix_webgl_present: function() {
    // Once per callback, however many frames it ran (a page seeking to a
    // moment runs several): after it, before the browser shows the canvas.
    // Drawn straight onto the canvas, the frame is there already.
    if (QuandrixGL.presenting || !QuandrixGL.frame.buffer) return;
    QuandrixGL.presenting = true;
    queueMicrotask(function() {
      QuandrixGL.presenting = false;
      var gl = QuandrixGL.live();
      if (!gl) return;
      var frame = QuandrixGL.frame;
      gl.bindFramebuffer(gl.DRAW_FRAMEBUFFER, null);
      gl.blitFramebuffer(0, 0, frame.width, frame.height, 0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight,
                         gl.COLOR_BUFFER_BIT, gl.NEAREST);
      gl.bindFramebuffer(gl.DRAW_FRAMEBUFFER, frame.buffer);
    });
  },

  quandrix_webgl_upload__deps: ['$QuandrixGL'],
  quandrix_webgl_upload: function(vertices, vertexBytes, fullVertices, fullVertexBytes, indices, indexCount,
                                  indexSize) {
    var gl = QuandrixGL.live();
    if (!gl) return;
    // Both vertex arrays hold the same index buffer.
    QuandrixGL.fill(gl.ARRAY_BUFFER, vertices, vertexBytes);
    QuandrixGL.fill(gl.COPY_WRITE_BUFFER, fullVertices, fullVertexBytes);
    QuandrixGL.fill(gl.ELEMENT_ARRAY_BUFFER, indices, indexCount * indexSize);
    QuandrixGL.indexSize = indexSize;
  },

  quandrix_webgl_draw__deps: ['$QuandrixGL'],
  quandrix_webgl_draw: function(mode, firstIndex, indexCount, texture, sprite, blendSource, blendDestination,
                                depthFunc, full, red, green, blue, alpha) {
    var gl = QuandrixGL.live();
    if (!gl) return;
    if (full !== QuandrixGL.layout) {
      gl.bindVertexArray(QuandrixGL.arrays[full]);
      QuandrixGL.layout = full;
    }
    var c = QuandrixGL.colour;
    if (!full && !(c && c[0] === red && c[1] === green && c[2] === blue && c[3] === alpha)) {
      gl.vertexAttrib4f(2, red, green, blue, alpha);
      QuandrixGL.colour = [red, green, blue, alpha];
    }
    var shading = texture === 0 ? 0 : sprite ? 2 : 1;
    if (texture !== 0) QuandrixGL.texture(texture);
    if (shading !== QuandrixGL.shading) {
      gl.useProgram(QuandrixGL.programs[shading]);
      QuandrixGL.shading = shading;
    }
    // Unsigned in C++, a signed 32-bit number here: kBlendOff arrives as -1.
    var blend = (blendSource >>> 0) === 0xFFFFFFFF ? 'off' : blendSource + ',' + blendDestination;
    if (blend !== QuandrixGL.blend) {
      if (blend === 'off') {
        gl.disable(gl.BLEND);
      } else {
        if (QuandrixGL.blend === 'off') gl.enable(gl.BLEND);
        gl.blendFunc(blendSource, blendDestination);
      }
      QuandrixGL.blend = blend;
    }
    if (depthFunc !== QuandrixGL.depth) {
      if (depthFunc === 0) {
        gl.disable(gl.DEPTH_TEST);
      } else {
        if (QuandrixGL.depth === 0) gl.enable(gl.DEPTH_TEST);
        gl.depthFunc(depthFunc);
      }
      QuandrixGL.depth = depthFunc;
    }
    var size = QuandrixGL.indexSize;
    gl.drawElements(mode, indexCount, size === 2 ? gl.UNSIGNED_SHORT : gl.UNSIGNED_INT, firstIndex * size);
  },
});
