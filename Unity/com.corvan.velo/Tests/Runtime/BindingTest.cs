using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>A clean stand-in core and dispatcher for each test, every result and failure
    /// recorded.</summary>
    public abstract class BindingTest
    {
        protected const string Unicode = "\u00e9 \u65e5\u672c\u8a9e \U0001F3AE";

        /// <summary>Every result raised since the test began, raw and typed, in order.</summary>
        protected readonly List<KeyValuePair<int, string>> Raw =
            new List<KeyValuePair<int, string>>();
        protected readonly List<BaseResult> Typed = new List<BaseResult>();
        protected readonly List<VeloAdapterException> Failures = new List<VeloAdapterException>();

        [SetUp]
        public void SetUpBinding()
        {
            Assert.IsTrue(VeloStandIn.IsAvailable, "these tests drive the stand-in core");
            VeloAdapter.Initialize();
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
            Raw.Clear();
            Typed.Clear();
            Failures.Clear();
            ResultDispatcher.ResultReceived += (id, json) =>
                Raw.Add(new KeyValuePair<int, string>(id, json));
            VeloLogin.LoginResultReceived += Typed.Add;
            VeloLogin.EnvelopeResultReceived += Typed.Add;
            VeloLogin.QrCodeResultReceived += Typed.Add;
            VeloAccount.AccountResultReceived += Typed.Add;
            VeloNotice.NoticeResultReceived += Typed.Add;
            VeloWebView.WebViewResultReceived += Typed.Add;
            ResultDispatcher.DispatchFailed += Failures.Add;
        }

        /// <summary>Fires base results with these method numbers, in order.</summary>
        internal static void FireBase(params int[] methodNameIDs)
        {
            foreach (var id in methodNameIDs)
                Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":" + id + "}", false));
        }

        /// <summary>Fires one result of `kind` through the stand-in core, dispatches it and
        /// returns it typed.</summary>
        protected T FireAndDispatch<T>(string kind, string record)
            where T : BaseResult
        {
            Assert.IsTrue(VeloStandIn.Fire(kind, record, false), VeloStandIn.LastError);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
            CollectionAssert.IsEmpty(Failures);
            return (T)Typed[Typed.Count - 1];
        }

        /// <summary>Hands `text` to the binding as the native callback would.</summary>
        internal static void Receive(int methodNameID, string text)
        {
            var bytes = Encoding.UTF8.GetBytes(text + "\0");
            var native = Marshal.AllocHGlobal(bytes.Length);
            Marshal.Copy(bytes, 0, native, bytes.Length);
            ResultDispatcher.Receive(methodNameID, native); // never throws
            Marshal.FreeHGlobal(native);
        }
    }
}
